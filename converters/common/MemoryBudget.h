#pragma once

#include <cstddef>
#include <string>
#include <utility>

// What a conversion keeps in memory at once (parsed XML, cells, lines, text) counted against one
// limit, so that a small hostile file ends with a clear message rather than taking the machine's
// memory. The parser's own allocations are counted as they happen; readers charge what they keep.
namespace MemoryBudget {

// Half the address space the process may use, at most 1 GiB: the other half is left for the
// document's bytes, the libraries and what is not counted.
std::size_t limit();
void setLimit(std::size_t bytes);
// Fails with a ConversionError saying the document is too large to convert once the memory in use
// would pass the limit.
void charge(std::size_t bytes);
void release(std::size_t bytes);
// Fails like charge() when the parser's allocations have already passed the limit.
void check();

// The heap cost of a small block beyond its payload, for charging container elements.
constexpr std::size_t kBlockOverhead = 16;

// What a string kept in a container costs: itself, and its characters when they do not fit in it.
inline std::size_t cost(const std::string& text)
{
    constexpr std::size_t kInPlace = 15;
    return sizeof(std::string) + (text.size() > kInPlace ? text.size() + 1 + kBlockOverhead : 0);
}

}  // namespace MemoryBudget

// A share of the budget owned by one object and given back when it goes.
class MemoryCharge {
public:
    MemoryCharge() = default;
    ~MemoryCharge() { drop(); }
    MemoryCharge(MemoryCharge&& other) noexcept : m_bytes(std::exchange(other.m_bytes, 0)) {}
    MemoryCharge& operator=(MemoryCharge&& other) noexcept
    {
        if (this != &other) {
            drop();
            m_bytes = std::exchange(other.m_bytes, 0);
        }
        return *this;
    }
    MemoryCharge(const MemoryCharge&) = delete;
    MemoryCharge& operator=(const MemoryCharge&) = delete;

    void add(std::size_t bytes)
    {
        MemoryBudget::charge(bytes);
        m_bytes += bytes;
    }
    void drop()
    {
        MemoryBudget::release(m_bytes);
        m_bytes = 0;
    }

private:
    std::size_t m_bytes = 0;
};
