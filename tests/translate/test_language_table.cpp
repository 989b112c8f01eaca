#include "LanguageTable.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace LanguageTable;

TEST(LanguageTable, CodesByPosition)
{
    EXPECT_EQ(DisplayNames().size(), Count);
    EXPECT_EQ(ServiceCode(0), "EN");
    EXPECT_EQ(ServiceCode(12), "ZH-TW");
    EXPECT_EQ(ServiceCode(22), "IW");
    EXPECT_EQ(ServiceCode(29), "TL");
    EXPECT_EQ(ServiceCode(53), "YI");
    EXPECT_EQ(DisplayName(12), "Chinese(T)");
    EXPECT_EQ(DisplayName(53), "Yiddish");
    // both Dutch entries keep their own positions and share the code
    EXPECT_EQ(DisplayName(6), "Dutch");
    EXPECT_EQ(DisplayName(15), "Dutch");
    EXPECT_EQ(ServiceCode(15), "NL");
    EXPECT_EQ(ServiceCode(6), ServiceCode(15));
}

TEST(LanguageTable, OutsideTheListIsEmpty)
{
    for (int position : {-1, 54, -100, 1000}) {
        EXPECT_TRUE(ServiceCode(position).isEmpty()) << position;
        EXPECT_TRUE(DisplayName(position).isEmpty()) << position;
        EXPECT_TRUE(FlagImage(position).isNull()) << position;
    }
}

TEST(LanguageTable, CodesOtherThanDutchAreUnique)
{
    QSet<QString> codes;
    for (int i = 0; i < Count; ++i) {
        if (i == 15)
            continue;
        const QString code = ServiceCode(i);
        EXPECT_FALSE(code.isEmpty());
        EXPECT_EQ(code, code.toUpper());
        EXPECT_FALSE(codes.contains(code)) << code.toStdString();
        codes.insert(code);
    }
}

TEST(LanguageTable, Domains)
{
    const QStringList domains = DomainNames();
    ASSERT_EQ(domains.size(), 21);
    EXPECT_EQ(domains.first(), "General");
    EXPECT_EQ(domains.at(7), "Business");
    EXPECT_EQ(domains.last(), "Politics");
}

TEST(LanguageTable, FlagsAreDistinctSmallImages)
{
    QList<QImage> flags;
    for (int i = 0; i < Count; ++i) {
        const QImage flag = FlagImage(i);
        ASSERT_FALSE(flag.isNull()) << i;
        EXPECT_EQ(flag.size(), QSize(16, 16)) << i;
        flags << flag;
    }
    EXPECT_EQ(flags[6], flags[15]);
    for (int i = 0; i < Count; ++i)
        for (int j = i + 1; j < Count; ++j)
            if (!(i == 6 && j == 15)) {
                EXPECT_NE(flags[i], flags[j]) << i << " and " << j;
            }
}

TEST(LanguageTable, LetterTilesAreRedWithWhiteLetter)
{
    for (int position : {22, 30, 41, 53}) {
        const QImage tile = FlagImage(position);
        int red = 0, white = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QColor c = tile.pixelColor(x, y);
                if (c.alpha() < 255)
                    continue;
                if (c.red() > 180 && c.green() < 60 && c.blue() < 80)
                    ++red;
                else if (c.red() == 255 && c.green() == 255 && c.blue() == 255)
                    ++white;
            }
        EXPECT_GT(red, 100) << position;
        EXPECT_GT(white, 12) << position;
        EXPECT_LT(white, red) << position;
    }
}
