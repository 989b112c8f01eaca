// libFuzzer entry point for the rich-text reader and writer: any input must load without a crash,
// a hang or unbounded memory, never produce more text than it has bytes, and what the writer
// makes of the result must read back to the same text with the same formatting.
#include "RtfReader.h"
#include "RtfWriter.h"
#include "DocumentCompare.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // text documents want a GUI application for their fonts; none is ever shown
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "rtf_fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // every input is read as rich text, whatever its first bytes
    QByteArray rtf("{\\rtf1 ");
    rtf.append(reinterpret_cast<const char*>(data), qsizetype(size));
    QTextDocument document;
    RtfReader::read(rtf, document);
    if (document.characterCount() > rtf.size() + 1)
        std::abort();
    QTextDocument again;
    RtfReader::read(RtfWriter::write(document), again);
    if (describeDocument(again) != describeDocument(document))
        std::abort();
    return 0;
}
