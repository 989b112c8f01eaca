#include "TextPreparation.h"

#include "QtPrinting.h"

#include <gtest/gtest.h>

using namespace TextPreparation;

namespace {

QString joined(const QStringList& chunks) { return chunks.join(QString()); }

QList<qsizetype> lengths(const QStringList& chunks)
{
    QList<qsizetype> lengths;
    for (const QString& c : chunks)
        lengths << c.size();
    return lengths;
}

}  // namespace

TEST(ReplaceText, ScansLeftToRightBehindEachMatch)
{
    EXPECT_EQ(replaceText("aaaa", "aa", "a"), "aa");
    EXPECT_EQ(replaceText("a b c", " ", ""), "abc");
    EXPECT_EQ(replaceText("x&y&", "&", " "), "x y ");
    EXPECT_EQ(replaceText("", "a", "b"), "");
    EXPECT_EQ(replaceText("abc", "", "x"), "abc");
    EXPECT_EQ(replaceText("ABC", "b", "x"), "ABC");  // case-sensitive
}

TEST(TextPreparation, NothingToTranslate)
{
    for (const char* text : {"", " ", "\r", "\n", "\r\n"})
        EXPECT_TRUE(isNothingToTranslate(text)) << '"' << text << '"';
    for (const char* text : {"  ", "a", " \r", "\r\r", "\n\n"})
        EXPECT_FALSE(isNothingToTranslate(text)) << '"' << text << '"';
}

TEST(TextPreparation, LinesEndWithCrLfAndBlankLinesLoseTheirSpaces)
{
    EXPECT_EQ(prepareText({"Hello", "   ", "", " world "}), "Hello\r\n\r\n\r\n world \r\n");
    // two spaces pass the emptiness check and are sent as a bare line end
    EXPECT_EQ(prepareText({"  "}), "\r\n");
    EXPECT_EQ(prepareText({}), "");
}

TEST(TextPreparation, AmpersandIsKept)
{
    // the body is percent-encoded, so "&" no longer needs to become a space
    EXPECT_EQ(prepareText({"salt & pepper&"}), "salt & pepper&\r\n");
}

TEST(SplitIntoChunks, ShortTextIsOneChunk)
{
    EXPECT_EQ(splitIntoChunks("", 3000), QStringList{""});
    const QString exact(3000, 'a');
    EXPECT_EQ(splitIntoChunks(exact, 3000), QStringList{exact});
}

TEST(SplitIntoChunks, HardCutsWithoutBreaks)
{
    const QString text = prepareText({QString(6998, 'x')});
    ASSERT_EQ(text.size(), 7000);
    const QStringList chunks = splitIntoChunks(text, 3000);
    // the line end of the last chunk is a break character but lies beyond the first two windows
    EXPECT_EQ(lengths(chunks), (QList<qsizetype>{3000, 3000, 1000}));
    EXPECT_EQ(joined(chunks), text);
}

TEST(SplitIntoChunks, BreakCharacterWinsOverLaterSpaces)
{
    QString line(3498, 'y');
    line[1999] = '.';
    for (int i = 2100; i < 3400; i += 50)
        line[i] = ' ';
    const QString text = prepareText({line});
    const QStringList chunks = splitIntoChunks(text, 3000);
    EXPECT_EQ(lengths(chunks), (QList<qsizetype>{2000, 1500}));
    EXPECT_TRUE(chunks.first().endsWith('.'));
}

TEST(SplitIntoChunks, EachBreakCharacterEndsAChunk)
{
    for (QChar c : QStringLiteral(".;\r\n!\"[({-='")) {
        const QString text = QString(5, 'a') + c + QString(10, 'b');
        const QStringList chunks = splitIntoChunks(text, 8);
        ASSERT_GE(chunks.size(), 2);
        EXPECT_EQ(chunks.first(), QString(5, 'a') + c) << int(c.unicode());
    }
    // a closing bracket is not a break character; the space is the fallback
    EXPECT_EQ(splitIntoChunks("ab cd)efgh", 8).first(), "ab ");
}

TEST(SplitIntoChunks, ChunksAreAdjacentAndBounded)
{
    QString text;
    for (int i = 0; i < 4000; ++i)
        text += QStringLiteral("Word%1%2").arg(i).arg(QChar(" .-\n"[i % 4]));
    const QStringList chunks = splitIntoChunks(text, 3000);
    EXPECT_GT(chunks.size(), 10);
    EXPECT_EQ(joined(chunks), text);
    for (const QString& c : chunks)
        EXPECT_LE(c.size(), 3000);
}

TEST(SplitIntoChunks, NeverSplitsASurrogatePair)
{
    // U+1F600 is two UTF-16 code units; with an odd offset a hard cut would land inside a pair
    const QString face = QString::fromUcs4(U"\U0001F600");
    const QString text = QStringLiteral("x") + face.repeated(3000);
    const QStringList chunks = splitIntoChunks(text, 3000);
    EXPECT_EQ(joined(chunks), text);
    for (const QString& c : chunks) {
        EXPECT_LE(c.size(), 3000);
        EXPECT_FALSE(c.back().isHighSurrogate());
        EXPECT_FALSE(c.front().isLowSurrogate());
    }
    EXPECT_EQ(chunks.first().size(), 2999);
}

TEST(SplitIntoChunks, TinyLimitStillTerminates)
{
    const QString face = QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(joined(splitIntoChunks(face + face, 1)), face + face);
    EXPECT_EQ(joined(splitIntoChunks("abc", 0)), "abc");
}

TEST(Progress, RoundsHalvesToEven)
{
    EXPECT_EQ(progressPercent(0, 1), 0);
    QList<int> four;
    for (int i = 0; i < 4; ++i)
        four << progressPercent(i, 4);
    EXPECT_EQ(four, (QList<int>{0, 25, 50, 75}));
    EXPECT_EQ(progressPercent(1, 8), 12);
    EXPECT_EQ(progressPercent(3, 8), 38);
    EXPECT_EQ(progressPercent(5, 8), 62);
    EXPECT_EQ(progressPercent(1, 3), 33);
    EXPECT_EQ(progressPercent(2, 3), 67);
    EXPECT_EQ(progressPercent(1, 200), 0);  // 0.5 goes to the even 0
    EXPECT_EQ(progressPercent(3, 200), 2);  // 1.5 goes to 2
}

TEST(Progress, Texts)
{
    EXPECT_EQ(startText("English", "French"), "Translating English to French ...");
    EXPECT_EQ(progressText("English", "Chinese(T)", 1, 8), "Translating from English to Chinese(T)... [12% Completed]");
    // a name holding a placeholder is not substituted again
    EXPECT_EQ(progressText("%2", "%1", 0, 1), "Translating from %2 to %1... [0% Completed]");
}
