// ppt-extract PRESENTATION: the text of a PowerPoint presentation (.ppt of PowerPoint 97-2003,
// .pptx and its template and macro forms) on standard output as UTF-8, after two header lines.
#include "ConversionError.h"
#include "ConverterMain.h"
#include "DocumentFile.h"
#include "OleStorage.h"
#include "Presentation.h"
#include "TextBuilder.h"
#include "ZipArchive.h"

namespace {

void extract(char** arguments)
{
    const DocumentFile file = DocumentFile::read(arguments[0]);
    Presentation presentation;
    if (file.kind() == DocumentFile::Kind::Ole) {
        const OleStorage storage(file.bytes());
        presentation = readPptPresentation(storage);
    } else if (file.kind() == DocumentFile::Kind::Zip) {
        presentation = readPptxPresentation(ZipArchive(file.bytes()));
    } else {
        throw ConversionError(file.notA("a PowerPoint presentation"));
    }
    TextBuilder text;
    for (const Presentation::Slide& slide : presentation.slides) {
        for (const std::string& line : slide.lines) {
            text.appendUtf8(line);
            text.endLine();
        }
        text.endPart();
    }
    if (!text.hasText())
        throw ConversionError("the presentation holds no text");
    const std::size_t slides = presentation.slides.size();
    writeStandardOutput(headerName(arguments[0]) + "\n" + std::to_string(slides)
                        + (slides == 1 ? " slide\n" : " slides\n") + text.finish());
}

}  // namespace

int main(int argc, char** argv) { return runConverter("ppt-extract", argc, argv, 1, "PRESENTATION.ppt", extract); }
