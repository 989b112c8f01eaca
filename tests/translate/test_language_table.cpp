#include "LanguageFlags.h"
#include "LanguageTable.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace LanguageTable;

TEST(LanguageTable, CodesByPosition)
{
    EXPECT_EQ(displayNames().size(), Count);
    EXPECT_EQ(serviceCode(0), "EN");
    EXPECT_EQ(serviceCode(12), "ZH-TW");
    EXPECT_EQ(serviceCode(22), "IW");
    EXPECT_EQ(serviceCode(29), "TL");
    EXPECT_EQ(serviceCode(53), "YI");
    EXPECT_EQ(displayName(12), "Chinese(T)");
    EXPECT_EQ(displayName(53), "Yiddish");
    // both Dutch entries keep their own positions and share the code
    EXPECT_EQ(displayName(6), "Dutch");
    EXPECT_EQ(displayName(15), "Dutch");
    EXPECT_EQ(serviceCode(15), "NL");
    EXPECT_EQ(serviceCode(6), serviceCode(15));
}

TEST(LanguageTable, OutsideTheListIsEmpty)
{
    for (int position : {-1, 54, -100, 1000}) {
        EXPECT_TRUE(serviceCode(position).isEmpty()) << position;
        EXPECT_TRUE(displayName(position).isEmpty()) << position;
        EXPECT_TRUE(flagImage(position).isNull()) << position;
    }
}

TEST(LanguageTable, CodesOtherThanDutchAreUnique)
{
    QSet<QString> codes;
    for (int i = 0; i < Count; ++i) {
        if (i == 15)
            continue;
        const QString code = serviceCode(i);
        EXPECT_FALSE(code.isEmpty());
        EXPECT_EQ(code, code.toUpper());
        EXPECT_FALSE(codes.contains(code)) << code.toStdString();
        codes.insert(code);
    }
}

TEST(LanguageTable, Domains)
{
    const QStringList domains = domainNames();
    ASSERT_EQ(domains.size(), 21);
    EXPECT_EQ(domains.first(), "General");
    EXPECT_EQ(domains.at(7), "Business");
    EXPECT_EQ(domains.last(), "Politics");
}

TEST(LanguageTable, FlagsAreDistinctSmallImages)
{
    QList<QImage> flags;
    for (int i = 0; i < Count; ++i) {
        const QImage flag = flagImage(i);
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
        const QImage tile = flagImage(position);
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
