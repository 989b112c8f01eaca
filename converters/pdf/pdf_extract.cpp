// pdf-extract DOCUMENT OUTPUT: the text of a PDF document, written as UTF-8 to the file OUTPUT,
// pages apart by a blank line. Reading and layout analysis are poppler's.
#include "ConversionError.h"
#include "ConverterMain.h"
#include "DocumentFile.h"
#include "SafeOutput.h"
#include "TextBuilder.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <memory>
#include <sys/stat.h>

namespace {

std::string g_lastProblem;

void keepProblem(const std::string& message, void*)
{
    g_lastProblem = message;
}

bool sameFile(const char* a, const char* b)
{
    struct stat first {}, second {};
    return ::stat(a, &first) == 0 && ::stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

void extract(char** arguments)
{
    if (sameFile(arguments[0], arguments[1]))
        throw ConversionError("the text would replace the document itself");
    const DocumentFile file = DocumentFile::read(arguments[0]);
    if (file.kind() != DocumentFile::Kind::Pdf)
        throw ConversionError(file.notA("a PDF document"));
    // poppler's complaints about damaged objects would otherwise go to standard error one by
    // one; the last one is given as the reason when nothing can be read
    poppler::set_debug_error_function(keepProblem, nullptr);
    const std::unique_ptr<poppler::document> document(poppler::document::load_from_raw_data(
        file.bytes().data(), static_cast<int>(file.bytes().size())));
    if (!document)
        throw ConversionError("the file is damaged and cannot be read as a PDF document" +
                              (g_lastProblem.empty() ? std::string() : " (" + g_lastProblem + ")"));
    if (document->is_locked())
        throw ConversionError("the document is protected by a password");
    const int pages = document->pages();
    if (pages <= 0)
        throw ConversionError("the document has no pages");

    TextBuilder text;
    for (int i = 0; i < pages; ++i) {
        const std::unique_ptr<poppler::page> page(document->create_page(i));
        if (!page)
            continue;
        const poppler::byte_array utf8 =
            page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
        text.appendUtf8(std::string_view(utf8.data(), utf8.size()));
        text.endPart();
    }
    if (!text.hasText())
        throw ConversionError(pages == 1 ? "the page holds no text (only images or drawings, as in a scan)"
                                         : "the pages hold no text (only images or drawings, as in a scan)");
    writeFileSafely(arguments[1], text.finish());
}

}  // namespace

int main(int argc, char** argv)
{
    return runConverter("pdf-extract", argc, argv, 2, "DOCUMENT.pdf OUTPUT.txt", extract);
}
