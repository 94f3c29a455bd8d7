// What both kinds of record file share through the one kind store: the same
// policies for a folder that cannot be used, a damaged file, a full table and
// the order of the table, run once for the receivers and once for the route
// profiles.

#include "project/kind_store.h"

#include "project/receiver_store.h"
#include "project/route_profile_store.h"
#include "tests/support/test_project.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vel {
namespace {

// The receivers as the test sees them.
struct Receivers {
    using Store = ReceiverStore;
    static constexpr const char* Folder = "Receivers";
    static constexpr const char* Noun = "Receiver";
    static constexpr const char* What = "receivers";
    static ByteBuffer File(int number, const std::string& name) { return test::ReceiverFile(name, number); }
    static std::size_t Load(Store& store, const StoreContext& ctx, LoadReport* report)
    {
        return static_cast<std::size_t>(store.ReadAllReceivers(ctx, report));
    }
    static SaveReport Save(Store& store, const StoreContext& ctx) { return store.SaveAllReceivers(ctx); }
};

// The route profiles as the test sees them.
struct RouteProfiles {
    using Store = RouteProfileStore;
    static constexpr const char* Folder = "Profiles";
    static constexpr const char* Noun = "Route profile";
    static constexpr const char* What = "route profiles";
    static ByteBuffer File(int number, const std::string& name)
    {
        RouteProfile p;
        p.SetProfileNumber(static_cast<std::int16_t>(number));
        p.Name() = name;
        cTimeSchedule schedule;
        schedule.SetDefaultPeriod();
        return *EncodeProfileFile(p, schedule, name);
    }
    static std::size_t Load(Store& store, const StoreContext& ctx, LoadReport* report)
    {
        return static_cast<std::size_t>(store.ReadAllRouteProfiles(ctx, report));
    }
    static SaveReport Save(Store& store, const StoreContext& ctx) { return store.SaveAllRouteProfiles(ctx); }
};

template <class Kind>
class KindStoreTest : public ::testing::Test {
protected:
    KindStoreTest()
    {
        ctx.ProjectPath = dir.path() + "/Project/";
        ctx.log = log.sink();
        ctx.server = &server;
    }
    std::string folder() const { return dir.path() + "/Project/" + Kind::Folder; }
    std::string fileName(int number) const
    {
        return NumberedFileName(std::string(Kind::Folder) == "Profiles" ? "Profile_" : "Receiver_", number);
    }
    void put(int number, const ByteBuffer& data) { test::WriteBytes(folder() + "/" + fileName(number), data); }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& e : store.Entries()) out.push_back(e.record.Name());
        return out;
    }

    test::TempDir dir;
    test::LogRecorder log;
    test::RecordingServer server;
    StoreContext ctx;
    typename Kind::Store store;
};

using Kinds = ::testing::Types<Receivers, RouteProfiles>;
TYPED_TEST_SUITE(KindStoreTest, Kinds);

// A link where the kind folder should be is no folder of the project: the
// load passes it over with one line, and a save refuses to write through it.
TYPED_TEST(KindStoreTest, AFolderThatIsALinkIsPassedOver)
{
    test::TempDir outside;
    test::WriteBytes(outside / this->fileName(1), TypeParam::File(1, "Outside"));
    test::MakeDirs(this->dir / "Project");
    std::filesystem::create_symlink(outside.path(), this->folder());
    LoadReport report;
    ASSERT_EQ(TypeParam::Load(this->store, this->ctx, &report), 0u);
    ASSERT_EQ(report.passedOver.size(), 1u);
    EXPECT_EQ(report.passedOver[0].file, this->folder());
    ASSERT_EQ(this->log.lines.size(), 1u);
    EXPECT_EQ(this->log.lines[0], std::string(TypeParam::Noun) + " folder '" + TypeParam::Folder +
                                      "' passed over: " + report.passedOver[0].reason);
    this->store.Entries().emplace_back();
    EXPECT_FALSE(TypeParam::Save(this->store, this->ctx).written);
    EXPECT_EQ(test::Names(outside.path()), (std::vector<std::string>{this->fileName(1)}));
}

// A file that ends inside its record is passed over with one line and kept
// by the next save where pruning never reaches it; the table keeps the rest.
TYPED_TEST(KindStoreTest, ADamagedFileIsPassedOverAndKept)
{
    const ByteBuffer whole = TypeParam::File(2, "Cut");
    const ByteBuffer cut(whole.begin(), whole.begin() + 12);
    this->put(1, TypeParam::File(1, "Whole"));
    this->put(2, cut);
    LoadReport report;
    ASSERT_EQ(TypeParam::Load(this->store, this->ctx, &report), 1u);
    EXPECT_EQ(this->names(), (std::vector<std::string>{"Whole"}));
    ASSERT_EQ(report.passedOver.size(), 1u);
    EXPECT_EQ(report.passedOver[0].file, this->fileName(2));
    EXPECT_EQ(report.passedOver[0].reason.rfind(std::string(TypeParam::Folder) + "/" + this->fileName(2) +
                                                    ": byte offset ",
                                                0),
              0u)
        << report.passedOver[0].reason;
    ASSERT_EQ(this->log.lines.size(), 1u);
    EXPECT_EQ(this->log.lines[0], std::string(TypeParam::Noun) + " file '" + TypeParam::Folder + "/" +
                                      this->fileName(2) + "' passed over: " + report.passedOver[0].reason);

    ASSERT_TRUE(TypeParam::Save(this->store, this->ctx).ok());
    const std::string passedOver = this->dir / "Project/.velnamechange/passed-over";
    const auto kept = test::Names(passedOver);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].rfind(std::string(TypeParam::Folder) + "-", 0), 0u);
    EXPECT_EQ(test::Snapshot(passedOver + "/" + kept[0]),
              (std::map<std::string, ByteBuffer>{{this->fileName(2), cut}}));
}

// The table holds 300 entries; a further file that would load is passed
// over with one line naming the limit, and kept by the next save.
TYPED_TEST(KindStoreTest, AFullTablePassesOverTheRest)
{
    for (int i = 1; i <= 301; ++i) this->put(i, TypeParam::File(i, "N" + std::to_string(1000 + i)));
    LoadReport report;
    ASSERT_EQ(TypeParam::Load(this->store, this->ctx, &report), 300u);
    ASSERT_EQ(report.passedOver.size(), 1u);
    EXPECT_EQ(report.passedOver[0].file, this->fileName(301));
    EXPECT_EQ(report.passedOver[0].reason, std::string("the table holds only 300 ") + TypeParam::What);
    ASSERT_EQ(this->log.lines.size(), 1u);
    EXPECT_NE(this->log.lines[0].find("'" + std::string(TypeParam::Folder) + "/" + this->fileName(301) + "'"),
              std::string::npos);
    EXPECT_EQ(this->store.Carried().count(this->fileName(301)), 0u);
    EXPECT_EQ(this->store.Carried().size(), 300u);
}

// The table is sorted stably by the upper-cased name: "_x" after "ax",
// equal names in listing order.
TYPED_TEST(KindStoreTest, TheTableIsSortedStablyByUpperCasedName)
{
    this->put(1, TypeParam::File(1, "_x"));
    this->put(2, TypeParam::File(2, "beta"));
    this->put(3, TypeParam::File(3, "AX"));
    this->put(4, TypeParam::File(4, "ax"));
    this->put(5, TypeParam::File(5, "Beta"));
    ASSERT_EQ(TypeParam::Load(this->store, this->ctx, nullptr), 5u);
    EXPECT_EQ(this->names(), (std::vector<std::string>{"AX", "ax", "beta", "Beta", "_x"}));
    EXPECT_TRUE(this->log.lines.empty());
}

} // namespace
} // namespace vel
