#pragma once

#include <map>
#include <string>

// How a spreadsheet shows a number: dates and times by their format, percentages, plain
// numbers in their shortest exact form.
namespace NumberText {

// True for the built-in date and time formats of the office file formats.
bool isBuiltInDate(int formatIndex);
// True when a format code shows a date or a time ("yyyy-mm-dd", "d/m/yy h:mm", "[$-409]mmm yy").
bool isDateCode(const std::string& code);
bool isPercentCode(const std::string& code);

// Serial day numbers count from 1899-12-30, or from 1904-01-01 in workbooks that say so.
std::string date(double serial, bool from1904);
std::string number(double value);
std::string percent(double value);

// The value as the format with this index shows it; `codes` holds the workbook's own formats.
std::string show(double value, int format, const std::map<int, std::string>& codes, bool from1904);

}  // namespace NumberText
