#pragma once

#include "Workbook.h"

class ZipArchive;

// Reads the cells of an Office Open XML workbook (.xlsx, .xlsm, .xltx): the sheets in their
// order, shared and inline strings, numbers by their formats, formula results.
Workbook readXlsxWorkbook(const ZipArchive& package);
