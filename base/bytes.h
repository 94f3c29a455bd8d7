#pragma once

// Little-endian reading and writing of record files held in memory. A file is
// read whole into a buffer and decoded from it; a file is encoded whole into a
// buffer and written in one go. Neither side ever touches bytes outside its
// buffer, and every failure names the file and the byte offset.

#include "base/result.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vel {

using ByteBuffer = std::vector<std::uint8_t>;

// Texts are held as the raw bytes of the suite's code page (Windows-1252 by
// default); they are converted only where a person sees or types them.
using AnsiText = std::string;

// Longest text a 16-bit length field can describe.
constexpr std::size_t MaxTextBytes = 32767;

class ByteReader {
public:
    ByteReader(std::span<const std::uint8_t> data, std::string source);

    std::size_t position() const { return m_pos; }
    std::size_t size() const { return m_data.size(); }
    std::size_t remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    const std::string& source() const { return m_source; }

    Result<std::int16_t> ReadI16()
    {
        if (m_data.size() - m_pos >= 2) {
            const auto u = static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
            m_pos += 2;
            return static_cast<std::int16_t>(u);
        }
        return ReadI16Slow();
    }
    Result<std::int32_t> ReadI32();
    Result<std::int64_t> ReadI64();
    Status ReadBytes(std::span<std::uint8_t> out);
    // 16-bit length n (0..32767), then n bytes.
    Result<AnsiText> ReadText();

    // An error at the current position, for decoders built on this reader.
    Error ErrorHere(ErrorCode code, const std::string& what) const;

private:
    Result<std::int16_t> ReadI16Slow();
    // A little-endian value of 1 to 8 bytes.
    Result<std::uint64_t> ReadUnsigned(std::size_t bytes, const char* what);
    Status Need(std::size_t n, const char* what) const;

    std::span<const std::uint8_t> m_data;
    std::string m_source;
    std::size_t m_pos = 0;
};

class ByteWriter {
public:
    explicit ByteWriter(std::string target = {}) : m_target(std::move(target)) {}

    void WriteI16(std::int16_t v);
    void WriteI32(std::int32_t v);
    void WriteI64(std::int64_t v);
    void WriteBytes(std::span<const std::uint8_t> bytes);
    // Fails with TooLong (writing nothing) for a text over 32767 bytes.
    Status WriteText(const AnsiText& text);

    std::size_t size() const { return m_buf.size(); }
    const ByteBuffer& buffer() const { return m_buf; }
    ByteBuffer take() { return std::move(m_buf); }
    const std::string& target() const { return m_target; }

private:
    ByteBuffer m_buf;
    std::string m_target;
};

} // namespace vel
