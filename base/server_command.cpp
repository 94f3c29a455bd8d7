#include "base/server_command.h"

#include "base/file_system.h"

#include <cstdlib>
#include <dlfcn.h>

namespace vel {

Veltra2Library::~Veltra2Library()
{
    if (m_handle != nullptr) ::dlclose(m_handle);
}

Status Veltra2Library::Load()
{
    if (m_entry != nullptr) return Status::Ok();

    std::string tried;
    auto attempt = [&](const std::string& name) -> void* {
        ::dlerror();
        void* h = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (h == nullptr) {
            const char* why = ::dlerror();
            // dlerror names the file itself.
            tried += std::string(tried.empty() ? " " : "; ") + (why != nullptr ? why : name + ": not found");
        }
        return h;
    };

    void* handle = nullptr;
    if (m_fixedPath) {
        handle = attempt(m_path);
    } else {
        const char* env = std::getenv("VELTRA2_LIBRARY");
        if (env != nullptr && *env != '\0') {
            handle = attempt(env);
        } else {
            handle = attempt(JoinPath(ExecutableDirectory(), "libVeltra2.so"));
            if (handle == nullptr) handle = attempt("libVeltra2.so");
        }
    }
    if (handle == nullptr)
        return MakeError(ErrorCode::NotAvailable, "the suite's run-time library libVeltra2.so was not found:" + tried);

    ::dlerror();
    void* sym = ::dlsym(handle, "SetCommandEntry");
    if (sym == nullptr) {
        ::dlclose(handle);
        return MakeError(ErrorCode::NotAvailable, "the suite's run-time library has no export SetCommandEntry");
    }
    m_handle = handle;
    m_entry = reinterpret_cast<EntryFn>(sym);
    return Status::Ok();
}

Status Veltra2Library::SetCommandEntry(const std::string& command, std::int32_t arg)
{
    VEL_TRY(Load());
    // The library's result carries no meaning for the program.
    (void)m_entry(command.c_str(), arg);
    return Status::Ok();
}

} // namespace vel
