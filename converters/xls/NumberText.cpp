#include "NumberText.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace NumberText {

bool isBuiltInDate(int formatIndex)
{
    return (formatIndex >= 14 && formatIndex <= 22) || (formatIndex >= 27 && formatIndex <= 36)
           || (formatIndex >= 45 && formatIndex <= 47) || (formatIndex >= 50 && formatIndex <= 58);
}

namespace {

// The format code without quoted text, escaped characters and bracketed colours or locales.
std::string bareCode(const std::string& code)
{
    std::string bare;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            const std::size_t end = code.find('"', i + 1);
            if (end == std::string::npos)
                break;
            i = end;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const std::size_t end = code.find(']', i + 1);
            if (end == std::string::npos)
                break;
            // elapsed-time brackets such as [h] still mean a time
            const std::string inside = code.substr(i + 1, end - i - 1);
            if (!inside.empty()
                && (std::tolower(static_cast<unsigned char>(inside[0])) == 'h'
                    || std::tolower(static_cast<unsigned char>(inside[0])) == 's'))
                bare += 'h';
            i = end;
        } else {
            bare += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return bare;
}

}  // namespace

bool isDateCode(const std::string& code)
{
    const std::string bare = bareCode(code);
    if (bare == "general")
        return false;
    return bare.find_first_of("dyhs") != std::string::npos;
}

bool isPercentCode(const std::string& code) { return bareCode(code).find('%') != std::string::npos; }

std::string date(double serial, bool from1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465)  // beyond 9999-12-31
        return number(serial);
    double days = std::floor(serial);
    double fraction = serial - days;
    long seconds = std::lround(fraction * 86400.0);
    if (seconds >= 86400) {
        days += 1;
        seconds -= 86400;
    }
    // the 1900 system counts a 29 February 1900 that never was
    long day = static_cast<long>(days) + (from1904 ? 1462 : 0);
    if (!from1904 && day < 61 && day > 0)
        ++day;
    std::string result;
    char buffer[48];
    if (day > 0 || from1904) {
        // days since 1899-12-30 to a civil date
        long z = day - 25569 + 719468;  // 25569 is 1970-01-01
        const long era = (z >= 0 ? z : z - 146096) / 146097;
        const long dayOfEra = z - era * 146097;
        const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
        long year = yearOfEra + era * 400;
        const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
        const long mp = (5 * dayOfYear + 2) / 153;
        const long d = dayOfYear - (153 * mp + 2) / 5 + 1;
        const long m = mp < 10 ? mp + 3 : mp - 9;
        if (m <= 2)
            ++year;
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", static_cast<int>(year % 10000), static_cast<int>(m),
                      static_cast<int>(d));
        result = buffer;
    }
    if (seconds != 0 || result.empty()) {
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                      static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
        result += (result.empty() ? "" : " ") + std::string(buffer);
    }
    return result;
}

std::string number(double value)
{
    if (std::isnan(value))
        return "#NUM!";
    if (std::isinf(value))
        return value > 0 ? "#NUM!" : "-#NUM!";
    char buffer[40];
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        std::snprintf(buffer, sizeof buffer, "%.0f", value == 0 ? 0.0 : value);  // never "-0" or "1.2e+03"
        return buffer;
    }
    // the shortest form that reads back as the same number, as a spreadsheet's General shows it
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
        if (std::strtod(buffer, nullptr) == value)
            break;
    }
    return buffer;
}

std::string percent(double value) { return number(std::round(value * 100 * 1e9) / 1e9) + "%"; }

std::string show(double value, int format, const std::map<int, std::string>& codes, bool from1904)
{
    const auto custom = codes.find(format);
    if (custom != codes.end() ? isDateCode(custom->second) : isBuiltInDate(format))
        return date(value, from1904);
    if (custom != codes.end() ? isPercentCode(custom->second) : (format == 9 || format == 10))
        return percent(value);
    return number(value);
}

}  // namespace NumberText
