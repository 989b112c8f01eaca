// How the Excel converter shows numbers: the date systems with their quirks, format codes that
// do or do not make a date, and plain numbers in the form a spreadsheet shows them.
#include "NumberText.h"

#include <gtest/gtest.h>

TEST(NumberText, SerialDaysAsDatesAndTimes)
{
    const struct {
        double serial;
        bool from1904;
        const char* shown;
    } cases[] = {
        {1, false, "1900-01-01"},
        {59, false, "1900-02-28"},
        {61, false, "1900-03-01"},  // 60 is the 29 February 1900 that never was
        {45352, false, "2024-03-01"},
        {45352.5, false, "2024-03-01 12:00:00"},
        {45352.999999, false, "2024-03-02"},  // rounds to the next midnight, not to 24:00:00
        {0.25, false, "06:00:00"},
        {0, true, "1904-01-01"},
        {43890, true, "2024-03-01"},
        {-1, false, "-1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberText::date(c.serial, c.from1904), c.shown) << c.serial;
}

TEST(NumberText, FormatCodesThatShowDates)
{
    for (const char* code : {"yyyy-mm-dd", "d/m/yy h:mm", "[$-409]mmm yy;@", "mm:ss", "[h]:mm", "DD.MM.YYYY"})
        EXPECT_TRUE(NumberText::isDateCode(code)) << code;
    for (const char* code : {"General", "0.00", "#,##0 \"days\"", "[Red]0.00", "0.00E+00", "\\d0", "_-* #,##0_-"})
        EXPECT_FALSE(NumberText::isDateCode(code)) << code;
    EXPECT_TRUE(NumberText::isPercentCode("0.0%"));
    EXPECT_FALSE(NumberText::isPercentCode("0.0\"%\""));
    EXPECT_EQ(NumberText::show(0.125, 10, {}, false), "12.5%");
    EXPECT_EQ(NumberText::show(45352, 164, {{164, "dd/mm/yyyy"}}, false), "2024-03-01");
    EXPECT_EQ(NumberText::show(45352, 14, {}, false), "2024-03-01");
    EXPECT_EQ(NumberText::show(45352, 164, {{164, "0.00"}}, false), "45352");
}

TEST(NumberText, PlainNumbersInTheirShortestExactForm)
{
    EXPECT_EQ(NumberText::number(1200), "1200");
    EXPECT_EQ(NumberText::number(-0.0), "0");
    EXPECT_EQ(NumberText::number(3.5), "3.5");
    EXPECT_EQ(NumberText::number(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(NumberText::number(123456789012), "123456789012");
    EXPECT_EQ(NumberText::number(1e20), "1e+20");
    EXPECT_EQ(NumberText::number(0.00001), "1e-05");
}
