// A converter that misbehaves as the document it is given asks: it first writes part of a
// text (to standard output, or to the output file it is given as a PDF converter is), then
//   allocate  takes memory without end (16 GB of address space, then it gives up and says so)
//   throw     fails an allocation at once
//   spin      computes for ever
//   abort     aborts, as poppler does when an allocation fails
#include "ConversionError.h"
#include "ConverterMain.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

int g_arguments = 1;
volatile bool g_stop = false;

void misbehave(char** arguments)
{
    std::string asked;
    std::ifstream(arguments[0]) >> asked;
    if (g_arguments == 2) {
        std::ofstream(arguments[1]) << "partial text\n";
    } else {
        writeStandardOutput("header\nheader\npartial text\n");
    }
    if (asked == "allocate") {
        // address space only: without a limit this costs the machine nothing
        std::vector<std::unique_ptr<char[]>> taken;
        for (int i = 0; i < 256; ++i)
            taken.emplace_back(new char[64 << 20]);
        throw ConversionError("16 GB were allocated: no memory limit stopped it");
    }
    if (asked == "throw")
        throw std::bad_alloc();
    if (asked == "spin") {
        while (!g_stop) {
        }
    }
    if (asked == "abort")
        std::abort();
    throw ConversionError("unknown misbehaviour '" + asked + "'");
}

}  // namespace

int main(int argc, char** argv)
{
    g_arguments = argc > 2 ? 2 : 1;
    return runConverter("misbehaving-converter", argc, argv, g_arguments, "DOCUMENT [OUTPUT]", misbehave);
}
