#pragma once

// Records of the suite's files, laid out by a table. A layout table lists, in
// file order, entries of: a number of plain bytes (numeric fields and opaque
// blocks, carried unchanged), then one item: nothing, a text, a fixed array of
// texts, or a fixed array of tagged values. The same table drives reading and
// writing, so every byte the program does not interpret goes back as it came.

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vel {

enum class ItemKind : std::uint8_t { None, Text, TextArray, TaggedArray };

struct LayoutEntry {
    std::uint16_t plainBytes = 0;
    ItemKind item = ItemKind::None;
    std::uint16_t count = 0; // elements of an array item; 1 for a text
};

using RecordLayout = std::span<const LayoutEntry>;

// A tagged value: a 16-bit type tag, then the value in that type's encoding.
// The value is kept as its raw bytes (for a text, the text's bytes without the
// length), so that it is written back exactly as read.
struct TaggedValue {
    enum Tag : std::int16_t {
        Empty = 0,
        Null = 1,
        Integer = 2,
        Long = 3,
        Single = 4,
        Double = 5,
        Currency = 6,
        Date = 7,
        String = 8,
        Boolean = 11,
        Byte = 17,
    };
    std::int16_t tag = Empty;
    ByteBuffer value;

    bool operator==(const TaggedValue&) const = default;
};

// The most bytes a record of this layout can take in a file: every text at
// its longest, every tagged value a text at its longest.
std::uint64_t MaxRecordBytes(RecordLayout layout);

// Size in bytes of a tagged value's fixed-size value, or -1 for a text, or -2
// for a tag the suite does not know.
int TaggedValueSize(std::int16_t tag);

class Record {
public:
    explicit Record(RecordLayout layout);

    // Zero plain bytes, empty texts, empty tagged values.
    void Clear();

    RecordLayout layout() const { return m_layout; }
    std::span<std::uint8_t> Plain(std::size_t entry)
    {
        return std::span<std::uint8_t>(m_plain).subspan(m_at[entry].plain, m_layout[entry].plainBytes);
    }
    std::span<const std::uint8_t> Plain(std::size_t entry) const
    {
        return std::span<const std::uint8_t>(m_plain).subspan(m_at[entry].plain, m_layout[entry].plainBytes);
    }
    std::int16_t PlainI16(std::size_t entry, std::size_t offset) const;
    void SetPlainI16(std::size_t entry, std::size_t offset, std::int16_t value);
    AnsiText& Text(std::size_t entry, std::size_t element = 0) { return m_texts[m_at[entry].item + element]; }
    const AnsiText& Text(std::size_t entry, std::size_t element = 0) const
    {
        return m_texts[m_at[entry].item + element];
    }
    TaggedValue& Tagged(std::size_t entry, std::size_t element) { return m_tagged[m_at[entry].item + element]; }
    const TaggedValue& Tagged(std::size_t entry, std::size_t element) const
    {
        return m_tagged[m_at[entry].item + element];
    }

    bool operator==(const Record& other) const;

private:
    // Where each entry's plain bytes and items start in the flat stores.
    struct Position {
        std::size_t plain = 0;
        std::size_t item = 0;
    };
    RecordLayout m_layout;
    std::vector<Position> m_at;
    ByteBuffer m_plain;
    std::vector<AnsiText> m_texts;
    std::vector<TaggedValue> m_tagged;
};

// Reads a whole record at the reader's position. The record is cleared first;
// on failure the fields read so far keep their values and the rest stay zero
// or empty, and the error names the file and byte offset.
Status ReadRecord(ByteReader& in, Record& record);

// Appends a whole record. Fails (writing nothing) when a text is longer than
// 32767 bytes or a tagged value does not match its tag.
Status WriteRecord(ByteWriter& out, const Record& record);

} // namespace vel
