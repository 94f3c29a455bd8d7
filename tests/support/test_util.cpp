#include "tests/support/test_util.h"

#include "tests/support/fault_injecting_file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>
#include <grp.h>

namespace fs = std::filesystem;

namespace vel::test {

TempDir::TempDir()
{
    std::string tmpl = (fs::temp_directory_path() / "velnc-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void WriteBytes(const std::string& path, const ByteBuffer& data)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

ByteBuffer ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return ByteBuffer(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path)
{
    return fs::exists(path);
}

void MakeDirs(const std::string& path)
{
    fs::create_directories(path);
}

std::map<std::string, ByteBuffer> Snapshot(const std::string& folder, bool withHidden)
{
    std::map<std::string, ByteBuffer> out;
    if (!fs::exists(folder)) return out;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (!withHidden && !name.empty() && name[0] == '.') {
            if (it->is_directory()) it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file()) out[fs::relative(it->path(), folder).string()] = ReadBytes(it->path().string());
    }
    return out;
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> out;
    if (!fs::exists(folder)) return out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

int RunAsNobody(const std::vector<unsigned>& groups, unsigned mask, const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == -1) return -1;
    if (pid == 0) {
        std::vector<gid_t> list(groups.begin(), groups.end());
        if (::setgroups(list.size(), list.data()) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(120);
        ::umask(static_cast<mode_t>(mask));
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int KillAfterOperation(const std::string& after, const std::function<bool(FileSystem&)>& save)
{
    const pid_t pid = ::fork();
    if (pid == -1) return -1;
    if (pid == 0) {
        FaultInjectingFileSystem counting(RealFileSystem());
        bool seen = false;
        counting.OnOperation([&](long, const std::string& what) {
            if (seen) ::_exit(9);
            seen = what.rfind(after, 0) == 0;
        });
        ::_exit(save(counting) ? 0 : 4);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ByteBuffer ReceiverFile(const std::string& name, int id)
{
    ByteBuffer settings;
    for (int i = 0; i < 4; ++i) settings = Concat({settings, I16(0)});
    return Concat({I16(4), I16(id), I16(-1), I16(7), Text(name), settings, I16(0), Bytes({1, 2, 3, 4, 5, 6, 7, 8}),
                   Text("one"), Text(""), Text(""), Text(""), Text("five")});
}

Status RecordingServer::SetCommandEntry(const std::string& command, std::int32_t arg)
{
    if (fail) return MakeError(ErrorCode::NotAvailable, "the test's server is down");
    commands.push_back(command + "\t" + std::to_string(arg));
    return Status::Ok();
}

ByteBuffer Bytes(std::initializer_list<int> values)
{
    ByteBuffer b;
    for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

ByteBuffer Concat(std::initializer_list<ByteBuffer> parts)
{
    ByteBuffer b;
    for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

ByteBuffer I16(int v)
{
    const auto u = static_cast<std::uint16_t>(v);
    return {static_cast<std::uint8_t>(u & 0xFF), static_cast<std::uint8_t>(u >> 8)};
}

ByteBuffer Text(const std::string& s)
{
    ByteBuffer b = I16(static_cast<int>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return b;
}

std::string Nul(std::initializer_list<std::string> items)
{
    std::string out;
    for (const auto& i : items) out += i + '\0';
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

} // namespace vel::test
