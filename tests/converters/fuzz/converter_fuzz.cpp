// libFuzzer entry point for one document converter, built with its program's main renamed to
// converterMain: each input is written to a file and converted as the translator converts it.
// The converter may refuse the file; it must not crash, hang or take memory without bound.
#include "MemoryBudget.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

int converterMain(int argc, char** argv);

namespace {

std::string g_input;
std::string g_output;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // what a sanitized process of this size can keep without passing the fuzzer's memory limit
    MemoryBudget::setLimit(std::size_t(256) << 20);
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/converter_fuzzXXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    // the page converter writes beside its page, so the input's name keeps a page's extension
    g_input = pattern + "/input" CONVERTER_EXTENSION;
    g_output = pattern + "/output.txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(g_input.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)))
        std::abort();
    ::close(fd);
    char program[] = CONVERTER_NAME;
    char* argv[] = {program, g_input.data(), g_output.data(), nullptr};
    converterMain(CONVERTER_ARGUMENTS + 1, argv);
    return 0;
}
