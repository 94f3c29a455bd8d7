#include "records/record.h"

#include "records/project.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vel {
namespace {

using test::Bytes;
using test::Concat;
using test::I16;
using test::Text;

constexpr LayoutEntry Layout[] = {
    {3, ItemKind::Text, 1},
    {0, ItemKind::TextArray, 2},
    {1, ItemKind::TaggedArray, 11},
    {2, ItemKind::None, 0},
};

// A record using every tagged-value type, with distinctive plain bytes.
ByteBuffer SampleRecord()
{
    return Concat({Bytes({0xA1, 0xB2, 0xC3}),
                   Text("Na\xE9me"),
                   Text(""),
                   Text(std::string("x\0y", 3)),
                   Bytes({0x7F}),
                   I16(0),
                   I16(1),
                   I16(2),
                   Bytes({0x34, 0x12}),
                   I16(3),
                   Bytes({1, 2, 3, 4}),
                   I16(4),
                   Bytes({5, 6, 7, 8}),
                   I16(5),
                   Bytes({1, 2, 3, 4, 5, 6, 7, 8}),
                   I16(6),
                   Bytes({9, 8, 7, 6, 5, 4, 3, 2}),
                   I16(7),
                   Bytes({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}),
                   I16(8),
                   Text("tagged text"),
                   I16(11),
                   Bytes({0xFF, 0xFF}),
                   I16(17),
                   Bytes({0xEE}),
                   Bytes({0xDE, 0xAD})});
}

TEST(Record, RoundTripIsByteExact)
{
    const ByteBuffer file = SampleRecord();
    Record r(Layout);
    ByteReader in(file, "sample.dat");
    ASSERT_TRUE(ReadRecord(in, r).ok());
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(r.Text(0), "Na\xE9me");
    EXPECT_EQ(r.Text(1, 1), std::string("x\0y", 3));
    EXPECT_EQ(r.Tagged(2, 2).tag, 2);
    EXPECT_EQ(r.Tagged(2, 8).value, Bytes({'t', 'a', 'g', 'g', 'e', 'd', ' ', 't', 'e', 'x', 't'}));
    EXPECT_EQ(r.PlainI16(3, 0), static_cast<std::int16_t>(0xADDE));

    ByteWriter out;
    ASSERT_TRUE(WriteRecord(out, r).ok());
    EXPECT_EQ(out.buffer(), file);
}

TEST(Record, EmptyTextIsTwoZeroBytes)
{
    constexpr LayoutEntry one[] = {{0, ItemKind::Text, 1}};
    Record r(one);
    ByteWriter out;
    ASSERT_TRUE(WriteRecord(out, r).ok());
    EXPECT_EQ(out.buffer(), Bytes({0, 0}));
    ByteReader in(out.buffer(), "x");
    r.Text(0) = "old";
    ASSERT_TRUE(ReadRecord(in, r).ok());
    EXPECT_EQ(r.Text(0), "");
}

TEST(Record, EveryCutOfTheFileIsAnErrorNamingFileAndOffset)
{
    const ByteBuffer file = SampleRecord();
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        const ByteBuffer part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
        Record r(Layout);
        ByteReader in(part, "cut.dat");
        Status s = ReadRecord(in, r);
        ASSERT_FALSE(s.ok()) << cut;
        EXPECT_EQ(s.error().code, ErrorCode::Truncated) << cut;
        EXPECT_NE(s.error().message.find("cut.dat: byte offset "), std::string::npos) << s.error().message;
    }
}

TEST(Record, BadInputIsRefusedWithItsOffset)
{
    // Unknown tag 9 as the first tagged value, at offset 3 + 9 + 2 + 5 + 1 = 20.
    ByteBuffer file = Concat({Bytes({1, 2, 3}), Text("Name..."), Text(""), Text("abc"), Bytes({0}), I16(9)});
    Record r(Layout);
    ByteReader in(file, "tag.dat");
    Status s = ReadRecord(in, r);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().code, ErrorCode::BadFormat);
    EXPECT_NE(s.error().message.find("tag.dat: byte offset 20: unknown value tag 9"), std::string::npos)
        << s.error().message;

    // A negative length, and a length past the end.
    for (const ByteBuffer& bad :
         {Concat({Bytes({1, 2, 3}), I16(-3)}), Concat({Bytes({1, 2, 3}), I16(40), Bytes({1})})}) {
        ByteReader in2(bad, "len.dat");
        Status s2 = ReadRecord(in2, r);
        ASSERT_FALSE(s2.ok());
        EXPECT_NE(s2.error().message.find("len.dat: byte offset 3"), std::string::npos) << s2.error().message;
    }
}

TEST(Record, OverlongTextWritesNothing)
{
    Record r(Layout);
    r.Text(1, 1) = std::string(32768, 'a');
    ByteWriter out("Receiver_0001.dat");
    Status s = WriteRecord(out, r);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().code, ErrorCode::TooLong);
    EXPECT_EQ(out.size(), 0u);
    r.Text(1, 1) = std::string(32767, 'a');
    EXPECT_TRUE(WriteRecord(out, r).ok());

    r.Tagged(2, 0) = TaggedValue{3, Bytes({1, 2})}; // a long needs 4 bytes
    ByteWriter out2;
    EXPECT_FALSE(WriteRecord(out2, r).ok());
    EXPECT_EQ(out2.size(), 0u);
}

TEST(ProjectNames, NumberedFileNames)
{
    EXPECT_EQ(NumberedFileName("Profile_", 7), "Profile_0007.dat");
    EXPECT_EQ(NumberedFileName("Receiver_", 123), "Receiver_0123.dat");
    EXPECT_EQ(NumberedFileName("Profile_", 12345), "Profile_2345.dat");
    EXPECT_EQ(NumberedFileName("Profile_", 0), "Profile_0000.dat");
    EXPECT_EQ(MakeProjectPath("/opt/vel"), "/opt/vel/Project/");
    EXPECT_EQ(MakeProjectPath("/"), "//Project/");
    EXPECT_EQ(FileNumber("0007"), std::optional<std::int16_t>(7));
    EXPECT_EQ(FileNumber("00a7"), std::nullopt);
    EXPECT_EQ(FileNumber(" 7  "), std::nullopt);
}

// The one place that makes a project path absolute and ends it in "/".
TEST(ProjectNames, NormalProjectPath)
{
    EXPECT_EQ(NormalProjectPath("/srv/veltra/Project"), "/srv/veltra/Project/");
    EXPECT_EQ(NormalProjectPath("/srv/veltra/Project/"), "/srv/veltra/Project/");
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(NormalProjectPath("Project"), here + "/Project/");
    EXPECT_EQ(NormalProjectPath("././Project"), here + "/Project/");
    EXPECT_EQ(NormalProjectPath("."), here + "/");
    EXPECT_EQ(NormalProjectPath(""), here + "/");
}

TEST(ProjectNames, KindFoldersAndFilesMatchWithoutCase)
{
    test::TempDir dir;
    test::WriteBytes(dir / "RECEIVERS/receiver_0001.DAT", Bytes({4, 0}));
    test::WriteBytes(dir / "RECEIVERS/Receiver_0000.dat", Bytes({4, 0}));
    test::WriteBytes(dir / "RECEIVERS/Receiver_00001.dat", Bytes({4, 0}));
    test::WriteBytes(dir / "RECEIVERS/.Receiver_0002.dat", Bytes({4, 0}));
    test::WriteBytes(dir / "RECEIVERS/Other_0003.dat", Bytes({4, 0}));
    test::MakeDirs(dir / "RECEIVERS/Receiver_0004.dat");
    auto project = OpenFolder(RealFileSystem(), dir.path());
    ASSERT_TRUE(project.ok());
    auto found = FindKindFolder(RealFileSystem(), *project, "Receivers");
    ASSERT_TRUE(found.ok());
    ASSERT_TRUE(found->name.has_value());
    EXPECT_EQ(*found->name, "RECEIVERS");
    auto folder = OpenFolderAt(RealFileSystem(), *project, *found->name);
    ASSERT_TRUE(folder.ok());
    auto files = ListKindFiles(RealFileSystem(), *folder, "Receiver_");
    ASSERT_TRUE(files.ok());
    ASSERT_EQ(files->size(), 2u);
    EXPECT_EQ((*files)[0].name, "Receiver_0000.dat");
    EXPECT_EQ((*files)[1].name, "receiver_0001.DAT");
    EXPECT_EQ((*files)[1].numberPart, "0001");

    auto none = FindKindFolder(RealFileSystem(), *project, "Profiles");
    ASSERT_TRUE(none.ok());
    EXPECT_FALSE(none->name.has_value());
    auto missingProject = ReadKindFolder(RealFileSystem(), dir / "nothing/",
                                         KindDescription{"Profiles", "Profile_", 1 << 20, "RP:-1", "route profiles"});
    ASSERT_TRUE(missingProject.ok());
    EXPECT_FALSE(missingProject->found);
}

} // namespace
} // namespace vel
