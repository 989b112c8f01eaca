// pdf-extract DOCUMENT OUTPUT: the text of a PDF document, written as UTF-8 to the file OUTPUT,
// pages apart by a blank line. Reading and layout analysis are poppler's.
#include "ConversionError.h"
#include "ConverterExit.h"
#include "ConverterMain.h"
#include "DocumentFile.h"
#include "SafeOutput.h"
#include "TextBuilder.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string g_lastProblem;

void keepProblem(const std::string& message, void*) { g_lastProblem = message; }

bool sameFile(const char* a, const char* b)
{
    struct stat first {
    }, second{};
    return ::stat(a, &first) == 0 && ::stat(b, &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

// What this run may take, read from the limits it was started with. poppler cannot be stopped
// inside a page, so the pages stop being read well before the processor time runs out, and the
// text stops short of the largest file this program may write: the text read so far arrives.
struct Allowance {
    // the builder's buffer may double once more before the budget is reached
    std::size_t textBytes = MemoryBudget::limit() / 3;
    std::optional<Clock::time_point> deadline;

    explicit Allowance(Clock::time_point start)
    {
        rlimit limit{};
        if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < textBytes)
            textBytes = limit.rlim_cur;
        if (::getrlimit(RLIMIT_CPU, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            deadline = start + std::chrono::milliseconds(limit.rlim_cur * 750);
    }
};

std::string sizeText(std::size_t bytes)
{
    return bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MB" : std::to_string(bytes >> 10) + " KB";
}

// The longest start of `text` of at most `bytes` bytes that ends between two characters.
std::string_view utf8Prefix(std::string_view text, std::size_t bytes)
{
    if (bytes >= text.size())
        return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xc0) == 0x80)
        --bytes;
    return text.substr(0, bytes);
}

// Writes the document's text to the output; returns why it is only the beginning of it, or
// nothing when it is whole.
std::string extract(char** arguments)
{
    const Allowance allowed(Clock::now());
    if (sameFile(arguments[0], arguments[1]))
        throw ConversionError("the text would replace the document itself");
    const DocumentFile file = DocumentFile::read(arguments[0]);
    if (file.kind() != DocumentFile::Kind::Pdf)
        throw ConversionError(file.notA("a PDF document"));
    // poppler's complaints about damaged objects would otherwise go to standard error one by
    // one; the last one is given as the reason when nothing can be read
    poppler::set_debug_error_function(keepProblem, nullptr);
    const std::unique_ptr<poppler::document> document(
        poppler::document::load_from_raw_data(file.bytes().data(), static_cast<int>(file.bytes().size())));
    if (!document)
        throw ConversionError("the file is damaged and cannot be read as a PDF document"
                              + (g_lastProblem.empty() ? std::string() : " (" + g_lastProblem + ")"));
    if (document->is_locked())
        throw ConversionError("the document is protected by a password");
    const int pages = document->pages();
    if (pages <= 0)
        throw ConversionError("the document has no pages");

    TextBuilder text;
    std::size_t used = 0;
    std::string cut;
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && allowed.deadline && Clock::now() >= *allowed.deadline) {
            cut = "only its first " + std::to_string(i) + " of " + std::to_string(pages)
                  + " pages were read: reading them all would take longer than allowed";
            break;
        }
        const std::unique_ptr<poppler::page> page(document->create_page(i));
        if (!page)
            continue;
        const poppler::byte_array utf8 =
            page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
        std::string_view piece(utf8.data(), utf8.size());
        // what the page adds at most: a stray byte becomes U+FFFD (three bytes), a blank line follows
        const std::size_t perByte = Utf8::isValid(piece) ? 1 : 3;
        const std::size_t room = allowed.textBytes - used;
        if (piece.size() * perByte + 2 > room) {
            piece = utf8Prefix(piece, room > 2 ? (room - 2) / perByte : 0);
            cut = "only the beginning of its text was read: the text is longer than " + sizeText(allowed.textBytes);
        }
        text.appendUtf8(piece);
        text.endPart();
        used += piece.size() * perByte + 2;
        if (!cut.empty())
            break;
    }
    if (!text.hasText()) {
        if (!cut.empty())
            throw ConversionError("no text was found before reading had to stop (" + cut + ")");
        throw ConversionError(pages == 1 ? "the page holds no text (only images or drawings, as in a scan)"
                                         : "the pages hold no text (only images or drawings, as in a scan)");
    }
    writeFileSafely(arguments[1], text.finish());
    return cut;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string cut;
    const int code = runConverter("pdf-extract", argc, argv, 2, "DOCUMENT.pdf OUTPUT.txt",
                                  [&cut](char** arguments) { cut = extract(arguments); });
    if (code != ConverterExit::Done || cut.empty())
        return code;
    std::fprintf(stderr, "pdf-extract: %s: %s\n", argv[1], cut.c_str());
    return ConverterExit::Partial;
}
