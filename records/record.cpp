#include "records/record.h"

namespace vel {

int TaggedValueSize(std::int16_t tag)
{
    switch (tag) {
    case TaggedValue::Empty:
    case TaggedValue::Null:
        return 0;
    case TaggedValue::Integer:
    case TaggedValue::Boolean:
        return 2;
    case TaggedValue::Long:
    case TaggedValue::Single:
        return 4;
    case TaggedValue::Double:
    case TaggedValue::Currency:
    case TaggedValue::Date:
        return 8;
    case TaggedValue::String:
        return -1;
    case TaggedValue::Byte:
        return 1;
    default:
        return -2;
    }
}

Record::Record(RecordLayout layout) : m_layout(layout), m_at(layout.size())
{
    std::size_t plain = 0, texts = 0, tagged = 0;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const LayoutEntry& e = layout[i];
        m_at[i].plain = plain;
        plain += e.plainBytes;
        if (e.item == ItemKind::TaggedArray) {
            m_at[i].item = tagged;
            tagged += e.count;
        } else {
            m_at[i].item = texts;
            if (e.item == ItemKind::Text) texts += 1;
            if (e.item == ItemKind::TextArray) texts += e.count;
        }
    }
    m_plain.assign(plain, 0);
    m_texts.resize(texts);
    m_tagged.resize(tagged);
}

void Record::Clear()
{
    std::fill(m_plain.begin(), m_plain.end(), std::uint8_t{0});
    for (auto& t : m_texts) t.clear();
    for (auto& v : m_tagged) v = TaggedValue{};
}

std::int16_t Record::PlainI16(std::size_t entry, std::size_t offset) const
{
    const std::size_t at = m_at[entry].plain + offset;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(m_plain[at] | (m_plain[at + 1] << 8)));
}

void Record::SetPlainI16(std::size_t entry, std::size_t offset, std::int16_t value)
{
    const auto u = static_cast<std::uint16_t>(value);
    const std::size_t at = m_at[entry].plain + offset;
    m_plain[at] = static_cast<std::uint8_t>(u & 0xFF);
    m_plain[at + 1] = static_cast<std::uint8_t>(u >> 8);
}

bool Record::operator==(const Record& other) const
{
    return m_plain == other.m_plain && m_texts == other.m_texts && m_tagged == other.m_tagged;
}

namespace {

Status ReadTagged(ByteReader& in, TaggedValue& v)
{
    const std::size_t at = in.position();
    VEL_TRY_ASSIGN(const auto tag, in.ReadI16());
    const int size = TaggedValueSize(tag);
    if (size == -2) {
        return MakeError(ErrorCode::BadFormat, in.source() + ": byte offset " + std::to_string(at) +
                                                   ": unknown value tag " + std::to_string(tag));
    }
    v.tag = tag;
    if (size == -1) {
        VEL_TRY_ASSIGN(const auto text, in.ReadText());
        v.value.assign(text.begin(), text.end());
        return Status::Ok();
    }
    v.value.assign(static_cast<std::size_t>(size), 0);
    return in.ReadBytes(v.value);
}

} // namespace

Status ReadRecord(ByteReader& in, Record& record)
{
    record.Clear();
    const RecordLayout layout = record.layout();
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const LayoutEntry& e = layout[i];
        if (e.plainBytes > 0) VEL_TRY(in.ReadBytes(record.Plain(i)));
        switch (e.item) {
        case ItemKind::None:
            break;
        case ItemKind::Text:
        case ItemKind::TextArray:
            for (std::size_t k = 0; k < (e.item == ItemKind::Text ? 1u : e.count); ++k) {
                VEL_TRY_ASSIGN(record.Text(i, k), in.ReadText());
            }
            break;
        case ItemKind::TaggedArray:
            for (std::size_t k = 0; k < e.count; ++k) VEL_TRY(ReadTagged(in, record.Tagged(i, k)));
            break;
        }
    }
    return Status::Ok();
}

Status WriteRecord(ByteWriter& out, const Record& record)
{
    const RecordLayout layout = record.layout();
    const std::string where = out.target().empty() ? std::string("record") : out.target();
    // Check everything first, so that a record that cannot be encoded writes nothing.
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const LayoutEntry& e = layout[i];
        if (e.item == ItemKind::Text || e.item == ItemKind::TextArray) {
            for (std::size_t k = 0; k < (e.item == ItemKind::Text ? 1u : e.count); ++k)
                if (record.Text(i, k).size() > MaxTextBytes)
                    return MakeError(ErrorCode::TooLong,
                                     where + ": a text of " + std::to_string(record.Text(i, k).size()) +
                                         " bytes is longer than the 32767 bytes a text field can hold");
        } else if (e.item == ItemKind::TaggedArray) {
            for (std::size_t k = 0; k < e.count; ++k) {
                const TaggedValue& v = record.Tagged(i, k);
                const int size = TaggedValueSize(v.tag);
                if (size == -2)
                    return MakeError(ErrorCode::BadFormat, where + ": unknown value tag " + std::to_string(v.tag));
                if (size == -1 ? v.value.size() > MaxTextBytes : v.value.size() != static_cast<std::size_t>(size))
                    return MakeError(ErrorCode::BadFormat, where + ": a value of tag " + std::to_string(v.tag) +
                                                               " cannot hold " + std::to_string(v.value.size()) +
                                                               " bytes");
            }
        }
    }
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const LayoutEntry& e = layout[i];
        out.WriteBytes(record.Plain(i));
        switch (e.item) {
        case ItemKind::None:
            break;
        case ItemKind::Text:
        case ItemKind::TextArray:
            for (std::size_t k = 0; k < (e.item == ItemKind::Text ? 1u : e.count); ++k)
                VEL_TRY(out.WriteText(record.Text(i, k)));
            break;
        case ItemKind::TaggedArray:
            for (std::size_t k = 0; k < e.count; ++k) {
                const TaggedValue& v = record.Tagged(i, k);
                out.WriteI16(v.tag);
                if (TaggedValueSize(v.tag) == -1)
                    VEL_TRY(out.WriteText(AnsiText(v.value.begin(), v.value.end())));
                else
                    out.WriteBytes(v.value);
            }
            break;
        }
    }
    return Status::Ok();
}

std::uint64_t MaxRecordBytes(RecordLayout layout)
{
    constexpr std::uint64_t longestText = 2 + MaxTextBytes;
    constexpr std::uint64_t longestTagged = 2 + longestText; // a text is the largest value
    std::uint64_t total = 0;
    for (const LayoutEntry& e : layout) {
        total += e.plainBytes;
        switch (e.item) {
        case ItemKind::None:
            break;
        case ItemKind::Text:
            total += longestText;
            break;
        case ItemKind::TextArray:
            total += e.count * longestText;
            break;
        case ItemKind::TaggedArray:
            total += e.count * longestTagged;
            break;
        }
    }
    return total;
}

} // namespace vel
