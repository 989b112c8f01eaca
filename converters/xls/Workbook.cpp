#include "Workbook.h"

#include "TextBuilder.h"

void Workbook::write(TextBuilder& text) const
{
    for (const Sheet& sheet : sheets) {
        if (sheet.rows.empty())
            continue;
        text.appendUtf8(sheet.name);
        text.endLine();
        for (const auto& [row, cells] : sheet.rows) {
            std::uint32_t column = 0;
            for (const auto& [at, value] : cells) {
                for (; column < at; ++column)
                    text.endCell();
                // a line break inside a cell would split the row: it reads as a space
                std::string flat = value;
                for (char& c : flat)
                    if (c == '\n' || c == '\r' || c == '\t')
                        c = ' ';
                text.appendUtf8(flat);
                text.endCell();
                column = at + 1;
            }
            text.endRow();
        }
        text.endPart();
    }
}
