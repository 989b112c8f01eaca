#include "SentencePieces.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

QStringList piecesOf(const QString& text, int maxLength = SentencePieces::DefaultMaxLength)
{
    QStringList out;
    for (const TextPiece& piece : SentencePieces::split(text, maxLength))
        out << text.mid(piece.start, piece.length);
    return out;
}

TEST(SentencePieces, CutsAtSentenceEndsOnly)
{
    const struct {
        const char* text;
        QStringList pieces;
    } cases[] = {
        {"Hello there. How are you?  Fine!", {"Hello there.", "How are you?", "Fine!"}},
        {"e.g. this goes on. Pi is 3.14 today.", {"e.g. this goes on.", "Pi is 3.14 today."}},
        {"Wait... What?! Yes.", {"Wait...", "What?!", "Yes."}},
        {"First line\nsecond line\n\n", {"First line", "second line"}},
        {"こんにちは。元気ですか？はい", {"こんにちは。", "元気ですか？", "はい"}},
        {"  \n\t ", {}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(piecesOf(QString::fromUtf8(c.text)), c.pieces) << c.text;
}

TEST(SentencePieces, LongRunsAreCutAtSpacesAndNeverInsideACharacter)
{
    EXPECT_EQ(piecesOf("aaaa bbbb cccc", 10), QStringList({"aaaa bbbb", "cccc"}));
    EXPECT_EQ(piecesOf("abcdefghijkl", 5), QStringList({"abcde", "fghij", "kl"}));
    const QString clef = QString::fromUtf8("ab\U0001D11Ecd");
    for (const QString& piece : piecesOf(clef, 3))
        EXPECT_FALSE(piece.front().isLowSurrogate() || piece.back().isHighSurrogate()) << qPrintable(piece);

    // a book: every character but the spaces between pieces is spoken, in order
    QString book;
    for (int i = 0; i < 20000; ++i)
        book += QString::fromUtf8(i % 40 ? "Ünïcode wörds without end " : "and a stop. ");
    QString spoken;
    int last = -1;
    for (const TextPiece& piece : SentencePieces::split(book)) {
        EXPECT_GT(piece.start, last);
        EXPECT_LE(piece.length, SentencePieces::DefaultMaxLength);
        last = piece.start;
        spoken += book.mid(piece.start, piece.length);
    }
    EXPECT_EQ(spoken.remove(u' '), QString(book).remove(u' '));
}

}  // namespace
