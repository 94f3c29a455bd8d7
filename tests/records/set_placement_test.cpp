// A set put in place on a share that ignores case and chooses the spelling
// of a file a rename replaces: the files end under the program's own names,
// or, where the share cannot change a name's case, the save learns the
// spelling the share kept.

#include "records/set_placement.h"

#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cctype>

namespace vel {
namespace {

std::string Upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A samba share as seen through its client: a file moved into the kind
// folder over a file of the same name in any case takes the spelling the
// server remembers for that name (here: upper case), whatever the folder
// holds now, and names are found in any case. Renames within one folder are passed on, or refused when they
// only change a name's case and the share cannot do that.
class RememberingShare : public FaultInjectingFileSystem {
public:
    RememberingShare(FileSystem& inner, FolderHandle kindFolder, bool changesCase)
        : FaultInjectingFileSystem(inner), m_real(inner), m_kindFolder(kindFolder), m_changesCase(changesCase)
    {
    }

    Status RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to) override
    {
        if (toDir == m_kindFolder && fromDir != toDir) {
            auto names = m_real.List(toDir);
            if (!names) return names.error();
            bool replaces = false;
            for (const DirEntry& e : *names) {
                if (Upper(e.name) != Upper(to)) continue;
                replaces = true;
                VEL_TRY(m_real.RemoveAt(toDir, e.name));
            }
            return m_real.RenameAt(fromDir, from, toDir, replaces ? Upper(to) : to);
        }
        if (!m_changesCase && fromDir == toDir && from != to && Upper(from) == Upper(to))
            return MakeError(ErrorCode::Io, "cannot rename '" + from + "': Permission denied");
        return m_real.RenameAt(fromDir, from, toDir, to);
    }

    // Names are found in any case in the kind folder.
    Result<FileInfo> StatAt(FolderHandle dir, const std::string& name) override
    {
        auto info = m_real.StatAt(dir, name);
        if (!info || info->exists() || dir != m_kindFolder) return info;
        auto names = m_real.List(dir);
        if (!names) return names.error();
        for (const DirEntry& e : *names)
            if (Upper(e.name) == Upper(name)) return m_real.StatAt(dir, e.name);
        return info;
    }

private:
    FileSystem& m_real;
    FolderHandle m_kindFolder;
    bool m_changesCase;
};

class SetPlacementTest : public ::testing::Test {
protected:
    SetPlacementTest()
    {
        test::MakeDirs(dir / "Profiles");
        test::MakeDirs(dir / "staging");
        for (const char* name : {"Profile_0001.dat", "Profile_0002.dat"}) {
            test::WriteBytes(dir / ("Profiles/" + std::string(name)), ByteBuffer{'o', 'l', 'd'});
            test::WriteBytes(dir / ("staging/" + std::string(name)), ByteBuffer{'n', 'e', 'w'});
            marker.newNames.push_back(name);
            marker.oldNames.push_back(name);
        }
        marker.kind = "Profiles";
        marker.folder = "Profiles";
        folders.folder = std::move(*OpenFolder(RealFileSystem(), dir / "Profiles"));
        folders.staging = std::move(*OpenFolder(RealFileSystem(), dir / "staging"));
    }

    test::TempDir dir;
    KindMarker marker;
    KindFolders folders;
};

TEST_F(SetPlacementTest, FilesEndUnderTheProgramsNamesWhereTheShareKeptAnotherSpelling)
{
    RememberingShare share(RealFileSystem(), folders.folder.handle(), true);
    std::map<std::string, std::string> spellings;
    ASSERT_TRUE(PutInPlace(share, folders, marker, &spellings));

    EXPECT_EQ(test::Names(dir / "Profiles"), (std::vector<std::string>{"Profile_0001.dat", "Profile_0002.dat"}));
    EXPECT_EQ(test::ReadBytes(dir / "Profiles/Profile_0001.dat"), (ByteBuffer{'n', 'e', 'w'}));
    EXPECT_EQ(test::ReadBytes(dir / "Profiles/Profile_0002.dat"), (ByteBuffer{'n', 'e', 'w'}));
    EXPECT_TRUE(spellings.empty());
    EXPECT_TRUE(test::Names(dir / "staging").empty());
}

TEST_F(SetPlacementTest, AShareThatCannotChangeCaseKeepsOneSpellingAndTheSaveLearnsIt)
{
    RememberingShare share(RealFileSystem(), folders.folder.handle(), false);
    std::map<std::string, std::string> spellings;
    ASSERT_TRUE(PutInPlace(share, folders, marker, &spellings));

    EXPECT_EQ(test::Names(dir / "Profiles"), (std::vector<std::string>{"PROFILE_0001.DAT", "PROFILE_0002.DAT"}));
    EXPECT_EQ(test::ReadBytes(dir / "Profiles/PROFILE_0001.DAT"), (ByteBuffer{'n', 'e', 'w'}));
    EXPECT_EQ(spellings, (std::map<std::string, std::string>{{"Profile_0001.dat", "PROFILE_0001.DAT"},
                                                             {"Profile_0002.dat", "PROFILE_0002.DAT"}}));

    // Done again (the next start finishing the save), nothing changes.
    spellings.clear();
    ASSERT_TRUE(PutInPlace(share, folders, marker, &spellings));
    EXPECT_EQ(test::Names(dir / "Profiles"), (std::vector<std::string>{"PROFILE_0001.DAT", "PROFILE_0002.DAT"}));
}

TEST_F(SetPlacementTest, OnAFolderThatKeepsCaseTwoSpellingsAreTwoFilesAndTheOldOneGoes)
{
    // A plain disk: an old file spelt otherwise is a file of its own, which
    // the new set does not carry on.
    test::WriteBytes(dir / "Profiles/PROFILE_0005.DAT", ByteBuffer{'x'});
    test::WriteBytes(dir / "Profiles/Profile_0005.dat", ByteBuffer{'o'});
    test::WriteBytes(dir / "staging/Profile_0005.dat", ByteBuffer{'n'});
    marker.oldNames.push_back("PROFILE_0005.DAT");
    marker.oldNames.push_back("Profile_0005.dat");
    marker.newNames.push_back("Profile_0005.dat");
    std::map<std::string, std::string> spellings;
    ASSERT_TRUE(PutInPlace(RealFileSystem(), folders, marker, &spellings));

    EXPECT_EQ(test::Names(dir / "Profiles"),
              (std::vector<std::string>{"Profile_0001.dat", "Profile_0002.dat", "Profile_0005.dat"}));
    EXPECT_EQ(test::ReadBytes(dir / "Profiles/Profile_0005.dat"), (ByteBuffer{'n'}));
    EXPECT_TRUE(spellings.empty());
}

// A file another desk holds open on a share: the share refuses to replace
// it and to remove it. The failure names the file and the likely cause.
TEST_F(SetPlacementTest, AFileTheShareWillNotReplaceIsNamedWithTheLikelyCause)
{
    class HeldOpen : public FaultInjectingFileSystem {
    public:
        HeldOpen(FileSystem& inner, FolderHandle kindFolder) : FaultInjectingFileSystem(inner), m_kindFolder(kindFolder)
        {
        }
        Status RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir,
                        const std::string& to) override
        {
            if (toDir == m_kindFolder && to == "Profile_0002.dat")
                return MakeError(ErrorCode::Exists, "cannot rename '" + from + "' to '" + to + "': File exists");
            return FaultInjectingFileSystem::RenameAt(fromDir, from, toDir, to);
        }
        Status RemoveAt(FolderHandle dir, const std::string& name) override
        {
            if (dir == m_kindFolder && name == "Profile_0002.dat")
                return MakeError(ErrorCode::Io, "cannot remove '" + name + "': Permission denied");
            return FaultInjectingFileSystem::RemoveAt(dir, name);
        }

    private:
        FolderHandle m_kindFolder;
    };
    HeldOpen share(RealFileSystem(), folders.folder.handle());
    const Status placed = PutInPlace(share, folders, marker);
    ASSERT_FALSE(placed.ok());
    EXPECT_NE(placed.error().message.find("'Profiles/Profile_0002.dat' could not be replaced"), std::string::npos)
        << placed.error().message;
    EXPECT_NE(placed.error().message.find("may hold it open"), std::string::npos) << placed.error().message;
    EXPECT_EQ(test::ReadBytes(dir / "Profiles/Profile_0002.dat"), (ByteBuffer{'o', 'l', 'd'}));
}

} // namespace
} // namespace vel
