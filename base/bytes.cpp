#include "base/bytes.h"

#include <cstring>

namespace vel {

ByteReader::ByteReader(std::span<const std::uint8_t> data, std::string source)
    : m_data(data), m_source(std::move(source))
{
}

Error ByteReader::ErrorHere(ErrorCode code, const std::string& what) const
{
    return MakeError(code, m_source + ": byte offset " + std::to_string(m_pos) + ": " + what);
}

Status ByteReader::Need(std::size_t n, const char* what) const
{
    if (remaining() < n) return ErrorHere(ErrorCode::Truncated, std::string("file ends inside ") + what);
    return Status::Ok();
}

Result<std::int16_t> ByteReader::ReadI16Slow()
{
    VEL_TRY(Need(2, "a 16-bit integer"));
    const auto u = static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return static_cast<std::int16_t>(u);
}

Result<std::uint64_t> ByteReader::ReadUnsigned(std::size_t bytes, const char* what)
{
    VEL_TRY(Need(bytes, what));
    std::uint64_t u = 0;
    for (std::size_t i = bytes; i-- > 0;) u = (u << 8) | m_data[m_pos + i];
    m_pos += bytes;
    return u;
}

Result<std::int32_t> ByteReader::ReadI32()
{
    VEL_TRY_ASSIGN(const auto u, ReadUnsigned(4, "a 32-bit integer"));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(u));
}

Result<std::int64_t> ByteReader::ReadI64()
{
    VEL_TRY_ASSIGN(const auto u, ReadUnsigned(8, "a 64-bit value"));
    return static_cast<std::int64_t>(u);
}

Status ByteReader::ReadBytes(std::span<std::uint8_t> out)
{
    VEL_TRY(Need(out.size(), "a block of plain bytes"));
    if (!out.empty()) std::memcpy(out.data(), m_data.data() + m_pos, out.size());
    m_pos += out.size();
    return Status::Ok();
}

Result<AnsiText> ByteReader::ReadText()
{
    const std::size_t at = m_pos;
    auto len = ReadI16();
    if (!len)
        return MakeError(ErrorCode::Truncated,
                         m_source + ": byte offset " + std::to_string(at) + ": file ends inside a text length");
    if (*len < 0) {
        m_pos = at;
        return ErrorHere(ErrorCode::BadFormat,
                         "impossible text length " + std::to_string(static_cast<std::uint16_t>(*len)));
    }
    const auto n = static_cast<std::size_t>(*len);
    if (remaining() < n) {
        m_pos = at;
        return ErrorHere(ErrorCode::Truncated, "text length " + std::to_string(n) + " runs past the end of the file (" +
                                                   std::to_string(remaining() - 2) + " bytes left)");
    }
    AnsiText text(reinterpret_cast<const char*>(m_data.data() + m_pos), n);
    m_pos += n;
    return text;
}

void ByteWriter::WriteI16(std::int16_t v)
{
    const auto u = static_cast<std::uint16_t>(v);
    m_buf.push_back(static_cast<std::uint8_t>(u & 0xFF));
    m_buf.push_back(static_cast<std::uint8_t>(u >> 8));
}

void ByteWriter::WriteI32(std::int32_t v)
{
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i, u >>= 8) m_buf.push_back(static_cast<std::uint8_t>(u & 0xFF));
}

void ByteWriter::WriteI64(std::int64_t v)
{
    auto u = static_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i, u >>= 8) m_buf.push_back(static_cast<std::uint8_t>(u & 0xFF));
}

void ByteWriter::WriteBytes(std::span<const std::uint8_t> bytes)
{
    m_buf.insert(m_buf.end(), bytes.begin(), bytes.end());
}

Status ByteWriter::WriteText(const AnsiText& text)
{
    if (text.size() > MaxTextBytes)
        return MakeError(ErrorCode::TooLong, (m_target.empty() ? std::string("record") : m_target) + ": a text of " +
                                                 std::to_string(text.size()) +
                                                 " bytes is longer than the 32767 bytes a text field can hold");
    WriteI16(static_cast<std::int16_t>(text.size()));
    m_buf.insert(m_buf.end(), text.begin(), text.end());
    return Status::Ok();
}

} // namespace vel
