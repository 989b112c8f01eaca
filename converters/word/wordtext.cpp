// wordtext DOCUMENT: the text of a Word document (.doc of Word 97-2003 and Word 6/95, .dot,
// .docx and its template and macro forms) on standard output as UTF-8, after one header line.
// The character mapping files for 8-bit text are read from the folder this program is in.
#include "ConversionError.h"
#include "ConverterMain.h"
#include "DocumentFile.h"
#include "DocxReader.h"
#include "OleStorage.h"
#include "TextBuilder.h"
#include "WordBinary.h"
#include "ZipArchive.h"

#include <climits>
#include <unistd.h>

namespace {

std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    std::string folder(path, static_cast<std::size_t>(length));
    const std::size_t slash = folder.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : folder.substr(0, slash);
}

void extract(char** arguments)
{
    const DocumentFile file = DocumentFile::read(arguments[0]);
    TextBuilder text;
    std::string kind;
    if (file.kind() == DocumentFile::Kind::Ole) {
        const OleStorage storage(file.bytes());
        kind = readWordBinary(storage, programFolder(), text);
    } else if (file.kind() == DocumentFile::Kind::Zip) {
        readDocx(ZipArchive(file.bytes()), text);
        kind = "Word document (Office Open XML)";
    } else {
        const std::string& bytes = file.bytes();
        if (bytes.compare(0, 5, "{\\rtf") == 0)
            throw ConversionError("not a Word document: the file holds rich text (open it as an .rtf file)");
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[1]) == 0xa5
            && (static_cast<unsigned char>(bytes[0]) == 0x9b || static_cast<unsigned char>(bytes[0]) == 0xdb))
            throw ConversionError("documents of Word 2 and older are not supported");
        throw ConversionError(file.notA("a Word document"));
    }
    if (!text.hasText())
        throw ConversionError("the document holds no text");
    writeStandardOutput(headerName(arguments[0]) + ": " + kind + "\n" + text.finish());
}

}  // namespace

int main(int argc, char** argv) { return runConverter("wordtext", argc, argv, 1, "DOCUMENT.doc", extract); }
