#include "records/history.h"

#include "records/save_transaction.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace vel {
namespace {

using test::TempDir;

std::string Read(const std::string& path)
{
    const ByteBuffer b = test::ReadBytes(path);
    return std::string(b.begin(), b.end());
}

void Write(const std::string& path, const std::string& text)
{
    test::WriteBytes(path, ByteBuffer(text.begin(), text.end()));
}

HistoryEntry Entry(const std::string& oldName, const std::string& newName, const std::string& save,
                   std::int64_t time = 1700000000)
{
    HistoryEntry e;
    e.time = time;
    e.user = "operator";
    e.host = "desk-1";
    e.kind = "receivers";
    e.oldName = oldName;
    e.newName = newName;
    e.items = 3;
    e.backup = "Receivers-20231114-231320";
    e.save = save;
    return e;
}

TEST(HistoryLine, KnownFormOfALine)
{
    EXPECT_EQ(FormatHistoryLine(Entry("Siren", "Siren Nord", "s1")),
              "2023-11-14T22:13:20Z\toperator\tdesk-1\treceivers\tSiren\tSiren Nord\t3\tReceivers-20231114-231320\ts1");
    HistoryEntry restore = Entry("", "Profiles-20000101-000000", "s2", 0);
    restore.kind = "restore-profiles";
    restore.items = 0;
    restore.backup = "";
    EXPECT_EQ(FormatHistoryLine(restore),
              "1970-01-01T00:00:00Z\toperator\tdesk-1\trestore-profiles\t\tProfiles-20000101-000000\t0\t\ts2");
}

TEST(HistoryLine, AwkwardNamesRoundTrip)
{
    const std::string names[] = {
        "Tab\tin it",
        "Line\nbreak",
        "Back\\slash\\",
        "\\t literally",
        "C1 \xC2\x81 and \xC2\x9F",
        "DEL \x7F",
        "Caf\xC3\xA9 \xE2\x82\xAC",
        "",
        std::string("nul\0inside", 10),
        "\r\n",
    };
    for (const std::string& name : names) {
        HistoryEntry e = Entry(name, name + "!", "save\tid " + name);
        e.user = "us\ner";
        e.host = "h\\ost";
        e.time = 4102444799; // 2099-12-31T23:59:59Z
        const std::string line = FormatHistoryLine(e);
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 8) << line;
        auto back = ParseHistoryLine(line);
        ASSERT_TRUE(back.ok()) << line << ": " << back.error().message;
        EXPECT_EQ(*back, e) << line;
    }
}

TEST(HistoryLine, DamagedLinesAreRefused)
{
    const std::string good = FormatHistoryLine(Entry("A", "B", "s1"));
    ASSERT_TRUE(ParseHistoryLine(good).ok());
    const std::string damaged[] = {
        "",
        good.substr(0, good.rfind('\t')),                                // a field too few
        good + "\textra",                                                // a field too many
        "2023-11-14 22:13:20\toperator\tdesk\treceivers\tA\tB\t3\t\ts",  // time without T and Z
        "2023-02-30T10:00:00Z\toperator\tdesk\treceivers\tA\tB\t3\t\ts", // no such day
        "2023-11-14T24:00:00Z\toperator\tdesk\treceivers\tA\tB\t3\t\ts",
        "2023-11-14T22:13:20Z\toperator\tdesk\treceivers\tA\tB\t-1\t\ts", // a count that is none
        "2023-11-14T22:13:20Z\toperator\tdesk\treceivers\tA\tB\tthree\t\ts",
        "2023-11-14T22:13:20Z\toperator\tdesk\treceivers\tA\tB\t\t\ts",
        "2023-11-14T22:13:20Z\toperator\tdesk\treceivers\tA\\q\tB\t3\t\ts", // a bad escape
        "2023-11-14T22:13:20Z\toperator\tdesk\treceivers\tA\\\tB\t3\t\ts",
        "2023-11-14T22:13:20Z\toperator\tdesk\treceivers\tA\xFF\tB\t3\t\ts", // not UTF-8
        "2023-11-14T22:13:20Z\toperator\tdesk\treceivers\tA\r\tB\t3\t\ts",   // a raw control character
        "2023-11-14T22:13:20Z\toperator\tdesk\t\tA\tB\t3\t\ts",              // no kind
    };
    for (const std::string& line : damaged) {
        auto entry = ParseHistoryLine(line);
        EXPECT_FALSE(entry.ok()) << line;
        if (!entry.ok()) {
            EXPECT_EQ(entry.error().code, ErrorCode::BadFormat);
        }
    }
}

class HistoryFile : public ::testing::Test {
protected:
    void SetUp() override { test::MakeDirs(dir / WorkFolderName); }
    std::string File() const { return dir / (std::string(WorkFolderName) + "/" + HistoryFileName); }
    Result<std::vector<HistoryEntry>> ReadBack(FileSystem& fs = RealFileSystem())
    {
        told.lines.clear();
        return ReadHistory(fs, dir.path(), told.sink());
    }
    Status Append(const std::vector<HistoryEntry>& entries, FileSystem& fs = RealFileSystem())
    {
        auto work = OpenFolder(fs, dir / WorkFolderName);
        if (!work) return work.error();
        return AppendHistory(fs, *work, entries, FileAttributes{0660, {}, {}});
    }

    TempDir dir;
    test::LogRecorder told;
};

TEST_F(HistoryFile, AProjectWithoutAHistoryHasAnEmptyOne)
{
    auto none = ReadBack();
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none->empty());
    std::filesystem::remove(dir / WorkFolderName);
    auto noWorkFolder = ReadBack();
    ASSERT_TRUE(noWorkFolder.ok()) << noWorkFolder.error().message;
    EXPECT_TRUE(noWorkFolder->empty());
    EXPECT_TRUE(told.lines.empty());
}

TEST_F(HistoryFile, TheFirstAppendWritesTheHeader)
{
    const std::vector<HistoryEntry> entries = {Entry("A", "B", "s1"), Entry("C", "D", "s1")};
    ASSERT_TRUE(Append(entries).ok());
    EXPECT_EQ(Read(File()), std::string(HistoryHeader) + "\n" + FormatHistoryLine(entries[0]) + "\n" +
                                FormatHistoryLine(entries[1]) + "\n");
    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660U);
    auto back = ReadBack();
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, entries);
    EXPECT_TRUE(told.lines.empty());
    // Nothing of the replacement is left beside it.
    EXPECT_EQ(test::Names(dir / WorkFolderName), std::vector<std::string>{HistoryFileName});
}

TEST_F(HistoryFile, ADamagedLineIsToldAndTheLinesAfterItAreKept)
{
    const HistoryEntry first = Entry("A", "B", "s1");
    const HistoryEntry third = Entry("E\tF", "G", "s3");
    Write(File(), std::string(HistoryHeader) + "\n" + FormatHistoryLine(first) + "\n" + "half a li\n" +
                      FormatHistoryLine(third) + "\n" + "2023-11-14T22:13:20Z\tx\n" + FormatHistoryLine(first));
    auto back = ReadBack();
    ASSERT_TRUE(back.ok());
    // The last line, without its line end, is read too.
    EXPECT_EQ(*back, (std::vector<HistoryEntry>{first, third, first}));
    ASSERT_EQ(told.lines.size(), 2U);
    EXPECT_NE(told.lines[0].find("history.tsv line 3 is damaged and passed over"), std::string::npos) << told.lines[0];
    EXPECT_NE(told.lines[1].find("line 5 "), std::string::npos) << told.lines[1];
}

TEST_F(HistoryFile, AHistoryWithoutItsHeaderIsReadAndSaidSo)
{
    const HistoryEntry only = Entry("A", "B", "s1");
    Write(File(), FormatHistoryLine(only) + "\n");
    auto back = ReadBack();
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, std::vector<HistoryEntry>{only});
    ASSERT_EQ(told.lines.size(), 1U);
    EXPECT_NE(told.lines[0].find("header"), std::string::npos);
}

TEST_F(HistoryFile, AppendKeepsEveryByteAndAddsASaveOnce)
{
    // Damaged lines, a line end missing at the end: all of it stays.
    const std::string before = std::string(HistoryHeader) + "\n" + FormatHistoryLine(Entry("A", "B", "s1")) +
                               "\n\xFF damaged \\q\n\n" + FormatHistoryLine(Entry("B", "C", "s2"));
    Write(File(), before);
    const std::vector<HistoryEntry> save3 = {Entry("X", "Y", "s3"), Entry("Y2", "Z", "s3")};
    ASSERT_TRUE(Append(save3).ok());
    const std::string after = before + "\n" + FormatHistoryLine(save3[0]) + "\n" + FormatHistoryLine(save3[1]) + "\n";
    EXPECT_EQ(Read(File()), after);

    // The same save again (finished a second time), and a save already
    // written before: no line is added, the file is not even rewritten.
    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    ASSERT_TRUE(Append(save3).ok());
    ASSERT_TRUE(Append({Entry("A", "B", "s1")}).ok());
    EXPECT_EQ(Read(File()), after);
    struct stat again {};
    ASSERT_EQ(::stat(File().c_str(), &again), 0);
    EXPECT_EQ(again.st_ino, st.st_ino);

    ASSERT_TRUE(Append({Entry("P", "Q", "s4")}).ok());
    auto back = ReadBack();
    ASSERT_TRUE(back.ok());
    ASSERT_EQ(back->size(), 5U);
    EXPECT_EQ(back->back().save, "s4");
}

TEST_F(HistoryFile, AppendKeepsTheModesTheFileHas)
{
    Write(File(), std::string(HistoryHeader) + "\n");
    ASSERT_EQ(::chmod(File().c_str(), 0604), 0);
    ASSERT_TRUE(Append({Entry("A", "B", "s1")}).ok());
    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    // What the file had, and what every file of the work folder needs.
    EXPECT_EQ(st.st_mode & 0777, 0664U);
}

TEST_F(HistoryFile, AHistoryThatIsNoPlainFileIsNeitherReadNorReplaced)
{
    Write(dir / "elsewhere", "not a history\n");
    std::filesystem::create_symlink(dir / "elsewhere", File());
    EXPECT_FALSE(ReadBack().ok());
    EXPECT_FALSE(Append({Entry("A", "B", "s1")}).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(File()));
    EXPECT_EQ(Read(dir / "elsewhere"), "not a history\n");
}

TEST_F(HistoryFile, AFailedReplacementLeavesTheOldHistoryWhole)
{
    const std::string old = std::string(HistoryHeader) + "\n" + FormatHistoryLine(Entry("A", "B", "s1")) + "\n";
    const std::vector<HistoryEntry> added = {Entry("C", "D", "s2")};
    const std::string renewed = old + FormatHistoryLine(added[0]) + "\n";
    for (const bool forever : {false, true}) {
        for (long k = 1;; ++k) {
            ASSERT_LT(k, 100);
            Write(File(), old);
            for (const std::string& name : test::Names(dir / WorkFolderName))
                if (name != HistoryFileName) std::filesystem::remove(dir / (std::string(WorkFolderName) + "/" + name));
            FaultInjectingFileSystem faulty(RealFileSystem());
            faulty.CountReads(true);
            auto work = OpenFolder(RealFileSystem(), dir / WorkFolderName);
            ASSERT_TRUE(work.ok());
            faulty.FailAt(k, forever);
            const Status appended = AppendHistory(faulty, *work, added, {});
            const std::string now = Read(File());
            if (appended.ok()) {
                EXPECT_EQ(now, renewed);
                break;
            }
            // Only a failed flush of the folder comes after the new file took
            // its place; the old history is whole otherwise.
            EXPECT_TRUE(now == old || now == renewed) << "failed at operation " << k;
            if (now != old) {
                EXPECT_NE(appended.error().message.find("not flushed"), std::string::npos);
            }
            if (!forever) {
                EXPECT_EQ(test::Names(dir / WorkFolderName), std::vector<std::string>{HistoryFileName})
                    << "operation " << k;
            }
        }
    }
}

} // namespace
} // namespace vel
