#include "Workbook.h"

#include "ConversionError.h"
#include "TextBuilder.h"

void Workbook::put(Sheet& sheet, std::uint32_t row, std::uint32_t column, std::string text)
{
    if (text.empty())
        return;
    // one shared string can be named by any number of cells, each keeping its own copy
    constexpr std::size_t kNodeBytes = 4 * sizeof(void*) + sizeof(std::uint32_t) + MemoryBudget::kBlockOverhead;
    m_charge.add(kNodeBytes + MemoryBudget::cost(text));
    sheet.rows[row][column] = std::move(text);
}

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
