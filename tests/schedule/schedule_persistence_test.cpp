#include "schedule/period_array.h"
#include "schedule/time_schedule.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vel {
namespace {

ByteBuffer Save(const cTimeSchedule& s)
{
    ByteWriter w("profile.dat");
    EXPECT_TRUE(s.SaveToDisk(w).ok());
    return w.take();
}

Status Load(cTimeSchedule& s, const ByteBuffer& bytes, std::size_t skip = 0)
{
    ByteReader r(bytes, "Profile_0007.dat");
    if (skip > 0) {
        std::vector<std::uint8_t> head(skip);
        EXPECT_TRUE(r.ReadBytes(head).ok());
    }
    return s.ReadFromDisk(r);
}

std::vector<std::int16_t> Values(std::initializer_list<int> v)
{
    std::vector<std::int16_t> out;
    for (int x : v) out.push_back(static_cast<std::int16_t>(x));
    return out;
}

ByteBuffer Le(const std::vector<std::int16_t>& values)
{
    ByteWriter w;
    for (auto v : values) w.WriteI16(v);
    return w.take();
}

// A schedule with random flags, axis numbers and period lists.
void Randomise(cTimeSchedule& s, std::mt19937& rng)
{
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::uniform_int_distribution<int> count(0, 12);
    for (int d = 0; d < 23; ++d) {
        const auto i = static_cast<std::size_t>(d);
        s.m_DayTypeActive[i] = static_cast<std::int16_t>(any(rng));
        s.m_DayTypeGrouped[i] = static_cast<std::int16_t>(any(rng));
        s.m_DayTypeAxis[i] = static_cast<std::int16_t>(any(rng));
        ASSERT_TRUE(s.ClearPeriods(d).ok());
        const int n = count(rng);
        for (int k = 0; k < n; ++k)
            ASSERT_TRUE(
                s.AppendPeriod(d, static_cast<std::int16_t>(any(rng)), static_cast<std::int16_t>(any(rng))).ok());
    }
    s.m_UseCalendar = static_cast<std::int16_t>(any(rng));
}

void ExpectSameContent(const cTimeSchedule& a, const cTimeSchedule& b)
{
    EXPECT_EQ(a.m_DayTypeActive, b.m_DayTypeActive);
    EXPECT_EQ(a.m_DayTypeGrouped, b.m_DayTypeGrouped);
    EXPECT_EQ(a.m_DayTypeAxis, b.m_DayTypeAxis);
    EXPECT_EQ(a.m_UseCalendar, b.m_UseCalendar);
    for (int d = 0; d < 23; ++d) {
        auto pa = *a.Periods(d);
        auto pb = *b.Periods(d);
        ASSERT_EQ(pa.size(), pb.size()) << d;
        for (std::size_t k = 0; k < pa.size(); ++k) {
            EXPECT_EQ(pa[k]->m_StartMinute, pb[k]->m_StartMinute);
            EXPECT_EQ(pa[k]->m_StopMinute, pb[k]->m_StopMinute);
        }
    }
}

TEST(SchedulePersistence, DefaultWorkingWeekIsWrittenByteForByte)
{
    cTimeSchedule s;
    s.SetDefaultPeriod();
    const ByteBuffer bytes = Save(s);
    ASSERT_EQ(bytes.size(), 206u);
    const ByteBuffer monday = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0xA4, 0x01, 0xC0, 0x03, 0x00, 0x00};
    EXPECT_EQ(ByteBuffer(bytes.begin(), bytes.begin() + 12), monday);
    for (int d = 1; d <= 4; ++d) // Tuesday to Friday: the same block
        EXPECT_EQ(ByteBuffer(bytes.begin() + 12 * d, bytes.begin() + 12 * d + 12), monday) << d;
    const ByteBuffer saturday = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ByteBuffer(bytes.begin() + 60, bytes.begin() + 68), saturday);
    EXPECT_EQ(ByteBuffer(bytes.begin() + 68, bytes.begin() + 76), saturday);
    for (std::size_t i = 76; i < 206; ++i) EXPECT_EQ(bytes[i], 0) << i; // 7..22 and m_UseCalendar

    const AnsiText text = s.ComposePeriodArray();
    ASSERT_EQ(text.size(), 206u);
    const std::vector<unsigned char> mondayChars = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01,
                                                    0x01, 0xA4, 0x03, 0xC0, 0x00, 0x00};
    EXPECT_EQ(std::vector<unsigned char>(text.begin(), text.begin() + 12), mondayChars);
}

TEST(SchedulePersistence, EmptyScheduleTakes186Bytes)
{
    cTimeSchedule s;
    EXPECT_EQ(Save(s).size(), 186u);
    EXPECT_EQ(s.ComposePeriodArray().size(), 186u);
}

TEST(SchedulePersistence, SaveAppendsAtTheWriterPosition)
{
    cTimeSchedule s;
    ByteWriter w;
    w.WriteI16(4);
    ASSERT_TRUE(s.SaveToDisk(w).ok());
    EXPECT_EQ(w.size(), 188u);
    EXPECT_EQ(w.buffer()[0], 4);
    EXPECT_EQ(w.buffer()[2], 0xFF); // Monday active follows
}

TEST(SchedulePersistence, RandomSchedulesRoundTripExactly)
{
    std::mt19937 rng(20261207);
    for (int round = 0; round < 40; ++round) {
        cTimeSchedule original;
        Randomise(original, rng);
        const ByteBuffer first = Save(original);
        EXPECT_EQ(first.size(), 186 + 4 * original.TotalPeriods());

        cTimeSchedule copy;
        ASSERT_TRUE(copy.SetActive(8, 1).ok()); // replaced by the read
        ASSERT_TRUE(copy.AppendPeriod(0, 1, 2).ok());
        ByteBuffer withTail = first;
        withTail.push_back(0xAB);
        ByteReader r(withTail, "p.dat");
        ASSERT_TRUE(copy.ReadFromDisk(r).ok());
        EXPECT_EQ(r.position(), first.size()); // just behind the schedule
        ExpectSameContent(original, copy);
        EXPECT_EQ(Save(copy), first);

        const AnsiText text = original.ComposePeriodArray();
        EXPECT_EQ(text.size(), first.size());
        cTimeSchedule fromText;
        ASSERT_TRUE(fromText.ExtractPeriodArray(text + "xyz").ok());
        ExpectSameContent(original, fromText);
        EXPECT_EQ(fromText.ComposePeriodArray(), text);
    }
}

TEST(SchedulePersistence, OddFlagsAreKeptAsStored)
{
    cTimeSchedule s;
    s.m_DayTypeActive[4] = 7;
    s.m_DayTypeGrouped[2] = 1;
    s.m_UseCalendar = 1;
    const ByteBuffer bytes = Save(s);
    cTimeSchedule back;
    ASSERT_TRUE(Load(back, bytes).ok());
    EXPECT_EQ(*back.GetActive(4), 7);
    EXPECT_EQ(back.m_DayTypeGrouped[2], 1);
    EXPECT_EQ(back.m_UseCalendar, 1);
    EXPECT_EQ(Save(back), bytes);
}

TEST(SchedulePersistence, ZeroAndNegativeCountsReadNoPeriods)
{
    // Monday: active, grouped, count -3, then directly the axis number 5.
    std::vector<std::int16_t> values = Values({-1, -1, -3, 5});
    for (int d = 1; d < 23; ++d) {
        auto more = Values({d <= 6 ? -1 : 0, 0, 0, static_cast<std::int16_t>(d)});
        values.insert(values.end(), more.begin(), more.end());
    }
    values.push_back(-1);
    const ByteBuffer bytes = Le(values);
    cTimeSchedule s;
    ASSERT_TRUE(Load(s, bytes).ok());
    EXPECT_TRUE((*s.Periods(0)).empty());
    EXPECT_EQ(s.m_DayTypeAxis[0], 5);
    EXPECT_EQ(s.m_DayTypeAxis[22], 22);
    EXPECT_EQ(s.m_UseCalendar, -1);
    // Rewritten, the negative count becomes 0: only those two bytes change.
    ByteBuffer expected = bytes;
    expected[4] = 0;
    expected[5] = 0;
    EXPECT_EQ(Save(s), expected);
}

TEST(SchedulePersistence, ReadingReplacesThePeriodsAndDropsTheSelection)
{
    cTimeSchedule s;
    s.SetDefaultPeriod();
    s.SetDefaultPeriod();
    ASSERT_TRUE(s.Select(0, (*s.Periods(0))[1].get()).ok());
    cTimeSchedule other;
    ASSERT_TRUE(other.AppendPeriod(0, 1, 2).ok());
    ASSERT_TRUE(Load(s, Save(other)).ok());
    EXPECT_EQ((*s.Periods(0)).size(), 1u);
    EXPECT_EQ(s.SelectedPeriod(), nullptr);
    EXPECT_EQ(s.SelectedDayType(), 0); // the day type selection is not part of the file
}

TEST(SchedulePersistence, TruncatedFileReadsMissingValuesAsZeroAndSaysWhere)
{
    cTimeSchedule full;
    full.SetDefaultPeriod();
    const ByteBuffer bytes = Save(full);
    const std::size_t head = 10; // a record in front of the schedule
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{8}, std::size_t{9},
                            std::size_t{11}, std::size_t{100}, std::size_t{205}}) {
        ByteBuffer file(head + cut, 0x55);
        for (std::size_t i = 0; i < cut; ++i) file[head + i] = bytes[i];
        cTimeSchedule s;
        const Status st = Load(s, file, head);
        ASSERT_FALSE(st.ok()) << cut;
        EXPECT_EQ(st.error().code, ErrorCode::Truncated);
        EXPECT_NE(st.error().message.find("Profile_0007.dat"), std::string::npos) << st.error().message;
        EXPECT_NE(st.error().message.find("byte offset " + std::to_string(head + cut - cut % 2)), std::string::npos)
            << st.error().message;

        // What was there is read; everything after reads as 0; only whole
        // periods are in the lists.
        ByteBuffer padded(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut - cut % 2));
        padded.resize(bytes.size(), 0);
        cTimeSchedule expected;
        ASSERT_TRUE(Load(expected, padded).ok());
        if (cut >= 6 && cut <= 9) { // Monday's period not whole
            ASSERT_TRUE(expected.ClearPeriods(0).ok());
        }
        if (cut == 11) { // Monday's period whole, the axis number missing
            EXPECT_EQ((*s.Periods(0)).size(), 1u);
        }
        ExpectSameContent(expected, s);
    }
}

TEST(SchedulePersistence, HugeCountOnAShortFileEndsQuickly)
{
    // Monday claims 32767 periods but only two follow.
    const ByteBuffer bytes = Le(Values({-1, -1, 32767, 10, 20, 30, 40}));
    cTimeSchedule s;
    const Status st = Load(s, bytes);
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().code, ErrorCode::Truncated);
    EXPECT_EQ((*s.Periods(0)).size(), 2u);
    EXPECT_EQ(s.TotalPeriods(), 2u);
    EXPECT_EQ(*s.GetActive(1), 0);
}

TEST(SchedulePersistence, MoreThan32767PeriodsIsRefusedBeforeWriting)
{
    cTimeSchedule s;
    for (int k = 0; k < 32767; ++k) ASSERT_TRUE(s.AppendPeriod(11, 0, 1).ok());
    ByteWriter ok;
    ASSERT_TRUE(s.SaveToDisk(ok).ok());
    EXPECT_EQ(ok.size(), 186u + 4u * 32767u);

    ASSERT_TRUE(s.AppendPeriod(11, 0, 1).ok());
    ByteWriter w("Profile_0003.dat");
    w.WriteI16(4);
    const Status st = s.SaveToDisk(w);
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().code, ErrorCode::TooLong);
    EXPECT_NE(st.error().message.find("day type 11"), std::string::npos) << st.error().message;
    EXPECT_NE(st.error().message.find("32768"), std::string::npos) << st.error().message;
    EXPECT_EQ(w.size(), 2u); // nothing of the schedule written
}

TEST(PeriodArray, IntegerToCharsAndCharsToIntegerAreExactInverses)
{
    for (int v = -32768; v <= 32767; ++v) {
        const AnsiText chars = IntegerToChars(static_cast<std::int16_t>(v));
        ASSERT_EQ(chars.size(), 2u);
        auto back = CharsToInteger(chars);
        ASSERT_TRUE(back.ok());
        ASSERT_EQ(*back, v);
    }
    EXPECT_EQ(IntegerToChars(-1), std::string("\xFF\xFF", 2));
    EXPECT_EQ(IntegerToChars(420), std::string("\x01\xA4", 2));
    EXPECT_EQ(IntegerToChars(0), std::string("\0\0", 2));
    EXPECT_EQ(*CharsToInteger(std::string("\x80\0", 2)), -32768);
    EXPECT_EQ(*CharsToInteger(std::string("\x01\xA4zz", 4)), 420); // later characters ignored
    EXPECT_EQ(CharsToInteger("A").error().code, ErrorCode::InvalidArgument);
    EXPECT_EQ(CharsToInteger("").error().code, ErrorCode::InvalidArgument);
}

TEST(PeriodArray, ShortTextIsRefusedAfterWhatWasExtracted)
{
    cTimeSchedule src;
    src.SetDefaultPeriod();
    const AnsiText text = src.ComposePeriodArray();
    cTimeSchedule s;
    ASSERT_TRUE(s.AppendPeriod(1, 5, 6).ok());
    ASSERT_TRUE(s.AppendPeriod(2, 5, 6).ok());
    // Cut inside Tuesday's period (Monday is 12 characters).
    const Status st = s.ExtractPeriodArray(std::string_view(text).substr(0, 12 + 7));
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().code, ErrorCode::InvalidArgument);
    EXPECT_EQ((*s.Periods(0)).size(), 1u); // Monday extracted
    EXPECT_TRUE((*s.Periods(1)).empty());  // Tuesday emptied
    EXPECT_EQ((*s.Periods(2)).size(), 1u); // Wednesday not reached
    EXPECT_FALSE(s.ExtractPeriodArray("").ok());
}

TEST(PeriodArray, HugeCountOnAShortTextEndsQuickly)
{
    AnsiText text = IntegerToChars(-1) + IntegerToChars(0) + IntegerToChars(32767) + IntegerToChars(1);
    cTimeSchedule s;
    EXPECT_FALSE(s.ExtractPeriodArray(text).ok());
    EXPECT_TRUE((*s.Periods(0)).empty());
}

} // namespace
} // namespace vel
