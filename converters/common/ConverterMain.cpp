#include "ConverterMain.h"

#include "ConversionError.h"
#include "ConverterExit.h"
#include "SafeOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <unistd.h>

int runConverter(const char* program, int argc, char** argv, int argumentsWanted, const char* usage,
                 const std::function<void(char** arguments)>& work)
{
    if (argc != argumentsWanted + 1) {
        std::fprintf(stderr, "usage: %s %s\n", program, usage);
        return ConverterExit::Misused;
    }
    try {
        work(argv + 1);
        return ConverterExit::Done;
    } catch (const ConversionError& error) {
        std::fprintf(stderr, "%s: %s: %s\n", program, argv[1], error.what());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: %s: the document needs more memory than allowed\n", program, argv[1]);
        return ConverterExit::OutOfMemory;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s: %s\n", program, argv[1], error.what());
    }
    return ConverterExit::Failed;
}

std::string headerName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return name;
}

void writeStandardOutput(const std::string& text)
{
    if (!writeAll(STDOUT_FILENO, text))
        throw ConversionError(std::string("cannot write the text: ") + std::strerror(errno));
}
