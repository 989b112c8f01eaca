// Text from another program: well-formed UTF-8 and byte-order-marked UTF-16
// pass whole; anything else is refused at the first byte that is wrong.
#include "TextInput.h"

#include <gtest/gtest.h>

TEST(TextInput, FindsTheFirstByteThatIsNoUtf8Character)
{
    struct Case {
        QByteArray bytes;
        qsizetype invalid;
    };
    const Case cases[] = {
        {"plain ASCII", -1},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", -1},  // two, three and four bytes
        {"\xef\xbf\xbf\xf4\x8f\xbf\xbf", -1},               // U+FFFF and U+10FFFF, the last ones
        {"caf\xe9", 3},                                     // Latin-1
        {"ab\xc0\xaf", 2},                                  // overlong "/"
        {"ab\xe0\x80\xaf", 2},                              // overlong, three bytes
        {"\xed\xa0\x80", 0},                                // a surrogate half
        {"\xf4\x90\x80\x80", 0},                            // beyond U+10FFFF
        {"ok\xe2\x82", 2},                                  // cut short at the end
        {"ok\xe2(\xa1", 2},                                 // a lead byte without its continuation
        {"\x80", 0},                                        // a lone continuation byte
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextInput::firstInvalidUtf8(c.bytes), c.invalid) << c.bytes.toHex(' ').constData();
}

TEST(TextInput, DecodesWhatItCanAndSaysWhyItCannot)
{
    QString problem;
    EXPECT_EQ(TextInput::decode("\xef\xbb\xbfHello", "input", problem), QStringLiteral("Hello"));
    EXPECT_TRUE(problem.isEmpty());
    EXPECT_EQ(TextInput::decode(QByteArray("\xff\xfeH\0i\0", 6), "input", problem), QStringLiteral("Hi"));
    EXPECT_TRUE(problem.isEmpty());

    EXPECT_TRUE(TextInput::decode(QByteArray("\xff\xfeH\0\0\0", 6), "input", problem).isEmpty());
    EXPECT_EQ(problem, QStringLiteral("input holds binary data (a zero character), not text."));
    EXPECT_TRUE(TextInput::decode(QByteArray("PK\x03\x04\0\0", 6), "input", problem).isEmpty());
    EXPECT_EQ(problem, QStringLiteral("input holds binary data (a zero byte at offset 4), not text."));
}
