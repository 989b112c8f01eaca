#pragma once

#include "Workbook.h"

#include <string>

class OleStorage;

// Reads the cells of a binary workbook (Excel 97-2003, and Excel 5/95 with its code page) out of
// the "Workbook" or "Book" stream: shared strings, labels, numbers, formula results, booleans.
Workbook readBiffWorkbook(const OleStorage& storage);
