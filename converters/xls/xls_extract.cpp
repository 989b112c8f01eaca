// xls-extract WORKBOOK: the cell texts of an Excel workbook (.xls of Excel 97-2003 or 5/95,
// .xlsx and its template and macro forms) on standard output as UTF-8, after one header line.
#include "BiffReader.h"
#include "ConversionError.h"
#include "ConverterMain.h"
#include "DocumentFile.h"
#include "OleStorage.h"
#include "TextBuilder.h"
#include "XlsxReader.h"
#include "ZipArchive.h"

namespace {

void extract(char** arguments)
{
    const DocumentFile file = DocumentFile::read(arguments[0]);
    Workbook workbook;
    if (file.kind() == DocumentFile::Kind::Ole) {
        const OleStorage storage(file.bytes());
        workbook = readBiffWorkbook(storage);
    } else if (file.kind() == DocumentFile::Kind::Zip) {
        workbook = readXlsxWorkbook(ZipArchive(file.bytes()));
    } else {
        throw ConversionError(file.notA("an Excel workbook"));
    }
    TextBuilder text;
    workbook.write(text);
    if (!text.hasText())
        throw ConversionError("the workbook holds no text");
    const std::size_t sheets = workbook.sheets.size();
    writeStandardOutput(headerName(arguments[0]) + ": " + std::to_string(sheets)
                        + (sheets == 1 ? " sheet\n" : " sheets\n") + text.finish());
}

}  // namespace

int main(int argc, char** argv) { return runConverter("xls-extract", argc, argv, 1, "WORKBOOK.xls", extract); }
