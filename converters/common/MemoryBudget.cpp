#include "MemoryBudget.h"

#include "ConversionError.h"

#include <libxml/xmlmemory.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>
#include <sys/resource.h>

namespace {

std::size_t g_limit = 0;
std::size_t g_charged = 0;
std::size_t g_parser = 0;  // what libxml2 holds now

void* parserMalloc(std::size_t size)
{
    void* block = std::malloc(size);
    if (block)
        g_parser += malloc_usable_size(block);
    return block;
}

void parserFree(void* block)
{
    if (!block)
        return;
    // blocks made before the counting began are not in the count
    const std::size_t size = malloc_usable_size(block);
    g_parser -= std::min(g_parser, size);
    std::free(block);
}

void* parserRealloc(void* block, std::size_t size)
{
    const std::size_t before = block ? malloc_usable_size(block) : 0;
    void* moved = std::realloc(block, size);
    if (!moved)
        return nullptr;
    g_parser -= std::min(g_parser, before);
    g_parser += malloc_usable_size(moved);
    return moved;
}

char* parserStrdup(const char* text)
{
    const std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(parserMalloc(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

// Runs before main, so before libxml2 allocates anything.
const bool g_counting = xmlMemSetup(parserFree, parserMalloc, parserRealloc, parserStrdup) == 0;

[[noreturn]] void tooLarge()
{
    throw ConversionError("the document is too large to convert (it needs more than "
                          + std::to_string(MemoryBudget::limit() >> 20) + " MB of memory)");
}

}  // namespace

namespace MemoryBudget {

std::size_t limit()
{
    if (g_limit == 0) {
        g_limit = std::size_t(1) << 30;
        rlimit space{};
        if (::getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY)
            g_limit = std::min<std::size_t>(g_limit, space.rlim_cur / 2);
    }
    return g_limit;
}

void setLimit(std::size_t bytes) { g_limit = bytes; }

void charge(std::size_t bytes)
{
    (void)g_counting;
    if (bytes > limit() || g_charged + g_parser > limit() - bytes)
        tooLarge();
    g_charged += bytes;
}

void release(std::size_t bytes) { g_charged -= std::min(g_charged, bytes); }

void check()
{
    if (g_charged + g_parser > limit())
        tooLarge();
}

}  // namespace MemoryBudget
