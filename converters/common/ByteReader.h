#pragma once

#include "ConversionError.h"

#include <cstdint>
#include <string>
#include <vector>

// Little-endian numbers out of a stream of a binary office file; every read is checked against
// the stream's end, so a damaged file ends in a ConversionError, never in a read out of bounds.
class ByteReader {
public:
    ByteReader(const std::vector<unsigned char>& data, const char* streamName) : m_data(data), m_name(streamName) {}

    std::size_t size() const { return m_data.size(); }
    bool has(std::size_t offset, std::size_t length) const
    {
        return offset <= m_data.size() && length <= m_data.size() - offset;
    }
    void require(std::size_t offset, std::size_t length) const
    {
        if (!has(offset, length))
            throw ConversionError(std::string("the file is damaged: its ") + m_name + " ends too early");
    }
    std::uint8_t u8(std::size_t offset) const
    {
        require(offset, 1);
        return m_data[offset];
    }
    std::uint16_t u16(std::size_t offset) const
    {
        require(offset, 2);
        return static_cast<std::uint16_t>(m_data[offset] | (m_data[offset + 1] << 8));
    }
    std::uint32_t u32(std::size_t offset) const
    {
        require(offset, 4);
        return static_cast<std::uint32_t>(m_data[offset]) | (static_cast<std::uint32_t>(m_data[offset + 1]) << 8)
               | (static_cast<std::uint32_t>(m_data[offset + 2]) << 16)
               | (static_cast<std::uint32_t>(m_data[offset + 3]) << 24);
    }
    double f64(std::size_t offset) const
    {
        require(offset, 8);
        std::uint64_t bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = (bits << 8) | m_data[offset + static_cast<std::size_t>(i)];
        double value;
        static_assert(sizeof value == sizeof bits);
        __builtin_memcpy(&value, &bits, sizeof value);
        return value;
    }
    const unsigned char* at(std::size_t offset, std::size_t length) const
    {
        require(offset, length);
        return m_data.data() + offset;
    }

private:
    const std::vector<unsigned char>& m_data;
    const char* m_name;
};

// Bounds how much reading the references of a stream can ask for: a sound file reads each of its
// records a few times at most, a hostile one points many references at one long run of them.
class ReadAllowance {
public:
    ReadAllowance(std::size_t streamSize, const char* streamName) : m_left(4 * streamSize + 65536), m_name(streamName)
    {}

    void spend(std::size_t bytes)
    {
        if (bytes > m_left)
            throw ConversionError(std::string("the file is damaged: its ") + m_name
                                  + " has references that read the same records over and over");
        m_left -= bytes;
    }

private:
    std::size_t m_left;
    const char* m_name;
};
