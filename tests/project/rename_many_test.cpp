// Many renames as one change: checked against the tables after all of them,
// made all or none, the receiver lists following each receiver once.

#include "project/rename_many.h"

#include "tests/support/test_project.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

using test::Nul;
using test::TestProject;
using Kind = RenameRequest::Kind;

RenameRequest Receiver(int line, const std::string& oldName, const std::string& newName)
{
    return {Kind::Receiver, line, oldName, newName};
}

RenameRequest Profile(int line, const std::string& oldName, const std::string& newName)
{
    return {Kind::Profile, line, oldName, newName};
}

// Everything a rename may change: every name and every list, in table order.
std::vector<AnsiText> Tables(const Suite& suite)
{
    std::vector<AnsiText> all;
    for (const ReceiverEntry& e : suite.ReceiverTable.Entries()) all.push_back("R " + e.record.Name());
    for (const RouteProfileEntry& e : suite.ProfileTable.Entries())
        all.insert(all.end(), {"P " + e.record.Name(), e.record.ReceiverList1(), e.record.ReceiverList2()});
    return all;
}

const RouteProfile& ProfileNamed(const Suite& suite, const AnsiText& name)
{
    for (const RouteProfileEntry& e : suite.ProfileTable.Entries())
        if (e.record.Name() == name) return e.record;
    throw std::runtime_error("no profile " + name);
}

std::vector<AnsiText> ReceiverNames(const Suite& suite)
{
    std::vector<AnsiText> names;
    for (const ReceiverEntry& e : suite.ReceiverTable.Entries()) names.push_back(e.record.Name());
    return names;
}

class RenameManyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        project.AddReceiver(0, "Alpha");
        project.AddReceiver(1, "Bravo");
        project.AddReceiver(2, "Charlie");
        project.AddProfile(1, "Day", -1, Nul({"Alpha", "Bravo", "alpha", "Charlie", ""}), Nul({"BRAVO", "Delta"}));
        project.AddProfile(2, "Night", -1, Nul({"Charlie"}));
        project.AddProfile(3, "Weekend");
        suite = project.Open();
        ASSERT_EQ(suite->ReceiverTable.size(), 3U);
    }
    TestProject project;
    std::unique_ptr<Suite> suite;
};

TEST_F(RenameManyTest, ASwapSwapsNamesAndListItems)
{
    const RenameSet set = RenameMany(*suite, {Receiver(1, "Alpha", "Bravo"), Receiver(2, "Bravo", "Alpha"),
                                              Profile(3, "Day", "Night"), Profile(4, "Night", "Day")});
    ASSERT_TRUE(set.refused.empty()) << set.refused.front().reason;
    EXPECT_EQ(ReceiverNames(*suite), (std::vector<AnsiText>{"Bravo", "Alpha", "Charlie"}));
    // The old Day is Night now, and each item names the receiver it named.
    EXPECT_EQ(ProfileNamed(*suite, "Night").ReceiverList1(), Nul({"Bravo", "Alpha", "Bravo", "Charlie", ""}));
    EXPECT_EQ(ProfileNamed(*suite, "Night").ReceiverList2(), Nul({"Alpha", "Delta"}));
    EXPECT_EQ(ProfileNamed(*suite, "Day").ReceiverList1(), Nul({"Charlie"}));
    EXPECT_TRUE(set.receiversChanged);
    EXPECT_TRUE(set.profilesChanged);
    ASSERT_EQ(set.renames.size(), 4U);
    EXPECT_EQ(set.renames[0].items, 2);
    EXPECT_EQ(set.renames[1].items, 2);
    EXPECT_EQ(set.lists.size(), 2U);

    // Each rename is noted for the history, in the order of the lines.
    ASSERT_EQ(suite->ReceiverTable.Renames().size(), 2U);
    EXPECT_EQ(suite->ReceiverTable.Renames()[0].oldName, "Alpha");
    EXPECT_EQ(suite->ReceiverTable.Renames()[0].newName, "Bravo");
    EXPECT_EQ(suite->ReceiverTable.Renames()[0].items, 2);
    EXPECT_EQ(suite->ReceiverTable.Renames()[1].oldName, "Bravo");
    ASSERT_EQ(suite->ProfileTable.Renames().size(), 2U);
    EXPECT_EQ(suite->ProfileTable.Renames()[1].newName, "Day");
}

// A -> B, B -> C, C -> D: every item moves one step, never two.
TEST_F(RenameManyTest, AChainMovesEachItemOnce)
{
    const RenameSet set = RenameMany(*suite, {Receiver(7, "Charlie", "Delta"), Receiver(3, "Alpha", "Bravo"),
                                              Receiver(5, "Bravo", "Charlie")});
    ASSERT_TRUE(set.refused.empty()) << set.refused.front().reason;
    EXPECT_EQ(ReceiverNames(*suite), (std::vector<AnsiText>{"Bravo", "Charlie", "Delta"}));
    EXPECT_EQ(ProfileNamed(*suite, "Day").ReceiverList1(), Nul({"Bravo", "Charlie", "Bravo", "Delta", ""}));
    EXPECT_EQ(ProfileNamed(*suite, "Day").ReceiverList2(), Nul({"Charlie", "Delta"}))
        << "Delta named no receiver before and is left as it is";
    EXPECT_EQ(ProfileNamed(*suite, "Night").ReceiverList1(), Nul({"Delta"}));
    ASSERT_EQ(set.renames.size(), 3U);
    EXPECT_EQ(set.renames[0].line, 7);
    EXPECT_EQ(set.renames[0].items, 2);
    EXPECT_EQ(set.renames[1].items, 2);
    EXPECT_EQ(set.renames[2].items, 2);
    EXPECT_FALSE(suite->ProfileTable.Renames().size());
}

// Profile renames touch neither the receivers nor the lists; a NEW the entry
// bears already changes nothing.
TEST_F(RenameManyTest, ProfilesAloneAndNamesBorneAlready)
{
    const RenameSet same = RenameMany(*suite, {Receiver(4, "Alpha", " Alpha")});
    EXPECT_TRUE(same.refused.empty());
    EXPECT_TRUE(same.renames.empty());
    EXPECT_EQ(same.sameName, (std::vector<int>{4}));
    EXPECT_FALSE(same.receiversChanged || same.profilesChanged);
    EXPECT_TRUE(suite->ReceiverTable.Renames().empty());

    const RenameSet set = RenameMany(*suite, {Profile(1, "Weekend", "day"), Profile(2, "Night", " Late ")});
    ASSERT_TRUE(set.refused.empty()) << set.refused.front().reason;
    EXPECT_FALSE(set.receiversChanged);
    EXPECT_TRUE(set.profilesChanged);
    EXPECT_TRUE(set.lists.empty());
    EXPECT_EQ(ProfileNamed(*suite, "Late").ReceiverList1(), Nul({"Charlie"}));
    EXPECT_NO_THROW(ProfileNamed(*suite, "day")) << "profile names are compared exactly";
}

// Every refusal is named with its line, and nothing changes.
TEST_F(RenameManyTest, AnyRefusalChangesNothingAndNamesEveryRefusedLine)
{
    const auto before = Tables(*suite);
    const std::vector<RenameRequest> requests = {
        Receiver(1, "Alpha", "Zulu"),                // fine on its own
        Receiver(2, "Echo", "Foxtrot"),              // no such receiver
        Receiver(3, "Bravo", "CHARLIE"),             // Charlie keeps its name: alike but for case
        Receiver(4, "Charlie", "Snow \xE2\x98\x83"), // outside the code page
        Profile(5, "Day", "Zulu"),                   // fine: another kind
        Profile(6, "Night", "Weekend"),              // Weekend keeps its name
        Profile(7, "Weekend", "   "),                // empty
        Receiver(8, "Alpha", "Yankee"),              // Alpha twice (with line 1)
        Profile(9, "Day", "Tab\there"),              // a control character; Day twice (with line 5)
    };
    const RenameSet set = RenameMany(*suite, requests);
    ASSERT_EQ(set.refused.size(), 9U) << "every line that renames Alpha or Day is refused too";
    std::map<int, std::string> why;
    for (const RenameRefusal& r : set.refused) why[r.line] = r.reason;
    EXPECT_EQ(why[1], "the receiver \"Alpha\" is renamed on line 8 too");
    EXPECT_EQ(why[2], "no receiver is named \"Echo\"");
    EXPECT_EQ(why[3], "A Receiver with this name already exists. It is the name of the receiver \"Charlie\".");
    EXPECT_NE(why[4].find("The name cannot be stored"), std::string::npos) << why[4];
    EXPECT_EQ(why[5], "the route profile \"Day\" is renamed on line 9 too");
    EXPECT_EQ(why[6],
              "A Route Profile with this name already exists. It is the name of the route profile \"Weekend\".");
    EXPECT_EQ(why[7], "the new name is empty");
    EXPECT_EQ(why[8], "the receiver \"Alpha\" is renamed on line 1 too");
    EXPECT_NE(why[9].find("control character U+0009"), std::string::npos) << why[9];
    EXPECT_NE(why[9].find("; the route profile \"Day\" is renamed on line 5 too"), std::string::npos) << why[9];

    EXPECT_EQ(Tables(*suite), before);
    EXPECT_TRUE(set.renames.empty());
    EXPECT_TRUE(suite->ReceiverTable.Renames().empty());
    EXPECT_TRUE(suite->ProfileTable.Renames().empty());
}

// Two new names alike are both refused, and so is a chain that ends on a
// name nobody gives up.
TEST_F(RenameManyTest, NamesAlikeAfterTheRenamesAreRefused)
{
    const auto before = Tables(*suite);
    const RenameSet set = RenameMany(*suite, {Receiver(2, "Alpha", "Zulu"), Receiver(5, "Bravo", "zulu"),
                                              Profile(6, "Day", "Same"), Profile(7, "Night", "Same"),
                                              Profile(8, "Weekend", "SAME")});
    ASSERT_EQ(set.refused.size(), 4U);
    EXPECT_EQ(set.refused[0].reason,
              "A Receiver with this name already exists. Line 5 gives it to the receiver \"Bravo\" as well.");
    EXPECT_EQ(set.refused[1].reason,
              "A Receiver with this name already exists. Line 2 gives it to the receiver \"Alpha\" as well.");
    EXPECT_EQ(set.refused[2].line, 6);
    EXPECT_EQ(set.refused[3].line, 7);

    const RenameSet chain = RenameMany(*suite, {Receiver(1, "Alpha", "Bravo"), Receiver(2, "Bravo", "Charlie")});
    ASSERT_EQ(chain.refused.size(), 1U);
    EXPECT_EQ(chain.refused[0].line, 2);
    EXPECT_EQ(Tables(*suite), before);
}

TEST_F(RenameManyTest, AListThatWouldGrowTooLongRefusesTheRenamesThatGrowIt)
{
    const std::string longName(MaxTextBytes / 3, 'x');
    const auto before = Tables(*suite);
    const RenameSet set = RenameMany(*suite, {Receiver(1, "Alpha", longName), Receiver(2, "Charlie", "Short"),
                                              Receiver(3, "Bravo", longName + "y")});
    ASSERT_EQ(set.refused.size(), 2U);
    EXPECT_EQ(set.refused[0].line, 1);
    EXPECT_EQ(set.refused[1].line, 3);
    EXPECT_EQ(set.refused[0].reason,
              "a receiver list of the route profile \"Day\" would become longer than 32767 bytes");
    EXPECT_EQ(Tables(*suite), before);
}

// Where two receivers bear one name but for case, a rename of one of them
// changes only the items spelt exactly as its old name, as a single rename
// does: both ways give the same tables.
TEST(RenameManyTwins, ChangeOnlyItemsSpeltExactlyAsASingleRenameDoes)
{
    TestProject project;
    project.AddReceiver(0, "Siren");
    project.AddReceiver(1, "SIREN");
    project.AddReceiver(2, "Pager");
    project.AddProfile(1, "Day", -1, Nul({"Siren", "siren", "SIREN", "pager"}), Nul({"Siren"}));
    auto many = project.Open();
    auto single = project.Open();

    const RenameSet set = RenameMany(*many, {Receiver(1, "Siren", "Horn"), Receiver(2, "Pager", "Beeper")});
    ASSERT_TRUE(set.refused.empty()) << set.refused.front().reason;
    ASSERT_TRUE(RenameReceiver(*single, FindReceiversByName(*single, "Siren").at(0), "Horn").ok());
    ASSERT_TRUE(RenameReceiver(*single, FindReceiversByName(*single, "Pager").at(0), "Beeper").ok());
    EXPECT_EQ(Tables(*many), Tables(*single));
    EXPECT_EQ(ProfileNamed(*many, "Day").ReceiverList1(), Nul({"Horn", "siren", "SIREN", "Beeper"}));
    ASSERT_EQ(set.renames.size(), 2U);
    EXPECT_EQ(set.renames[0].items, 2);
    EXPECT_EQ(set.renames[0].itemsLeftAlone, 2);
    EXPECT_EQ(set.renames[1].items, 1);

    // Both twins renamed at once: each takes its own exact items.
    auto both = project.Open();
    const RenameSet twins = RenameMany(*both, {Receiver(1, "Siren", "Horn"), Receiver(2, "SIREN", "Bell")});
    ASSERT_TRUE(twins.refused.empty()) << twins.refused.front().reason;
    EXPECT_EQ(ProfileNamed(*both, "Day").ReceiverList1(), Nul({"Horn", "siren", "Bell", "pager"}));
}

} // namespace
} // namespace vel
