#pragma once

#include "MemoryBudget.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TextBuilder;

// The cell texts of a workbook as read from either file format: sheet by sheet, row by row.
struct Workbook {
    struct Sheet {
        std::string name;
        std::map<std::uint32_t, std::map<std::uint32_t, std::string>> rows;  // row -> column -> UTF-8 text
    };
    std::vector<Sheet> sheets;

    // Stores a cell's text, counted against the memory budget with what the cell costs beside it.
    void put(Sheet& sheet, std::uint32_t row, std::uint32_t column, std::string text);

    // Each sheet: its name on a line, then one line a row with the cells apart by tabs (empty
    // cells keep their place), a blank line after it. Sheets without cells are left out.
    void write(TextBuilder& text) const;

private:
    MemoryCharge m_charge;
};
