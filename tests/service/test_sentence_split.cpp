// Cutting a long request into pieces for several engine chains.
#include "SentenceSplit.h"

#include <gtest/gtest.h>

namespace {

std::string join(const std::vector<std::string>& pieces)
{
    std::string all;
    for (const auto& p : pieces)
        all += p;
    return all;
}

std::string sentences(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "Sentence number " + std::to_string(i) + " is here.\n";
    return text;
}

}  // namespace

TEST(SentenceSplit, PiecesJoinBackIntoTheText)
{
    const std::string text = sentences(200);
    for (int pieces = 1; pieces <= 4; ++pieces) {
        const auto split = SentenceSplit::split(text, pieces, 100);
        EXPECT_EQ(split.size(), static_cast<size_t>(pieces));
        EXPECT_EQ(join(split), text);
    }
}

TEST(SentenceSplit, CutsAfterASentenceEndAndItsBlanks)
{
    const std::string text = sentences(100) + "Question?\r\n\r\n" + sentences(100);
    const auto split = SentenceSplit::split(text, 2, 100);
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(join(split), text);
    EXPECT_TRUE(split[0].ends_with(".\n") || split[0].ends_with("?\r\n\r\n")) << split[0].substr(split[0].size() - 20);
    EXPECT_EQ(split[1].rfind("Sentence", 0) == 0 || split[1].rfind("Question", 0) == 0, true) << split[1].substr(0, 20);
    // the cut lands near the middle
    EXPECT_LT(std::abs(long(split[0].size()) - long(text.size() / 2)), 60L);
}

TEST(SentenceSplit, ClosingQuotesStayWithTheirSentence)
{
    std::string text = std::string(300, 'a') + " said \"stop.\" \n" + std::string(300, 'b');
    const auto split = SentenceSplit::split(text, 2, 100);
    ASSERT_EQ(split.size(), 2u);
    EXPECT_TRUE(split[0].ends_with("\"stop.\" \n"));
    EXPECT_EQ(join(split), text);
}

TEST(SentenceSplit, TextWithoutUsableSentenceEndsStaysWhole)
{
    const std::string noEnds(5000, 'x');
    EXPECT_EQ(SentenceSplit::split(noEnds, 4, 100), std::vector<std::string>{noEnds});
    // abbreviations and decimals have no blank after the point
    const std::string numbers = std::string(400, 'n') + " 3.14 e.g.x " + std::string(400, 'n');
    EXPECT_EQ(SentenceSplit::split(numbers, 2, 100).size(), 1u);
    // a sentence end in mid-line, or after a lone letter, may be an initial
    std::string midLine;
    for (int i = 0; i < 100; ++i)
        midLine += "One sentence. Another one! ";
    EXPECT_EQ(SentenceSplit::split(midLine, 2, 100).size(), 1u);
    const std::string initials =
        std::string(400, 'n') + " J.\n" + std::string(400, 'n') + " 7.\n" + std::string(400, 'n');
    EXPECT_EQ(SentenceSplit::split(initials, 2, 100).size(), 1u);
    // a sentence end too close to either edge would leave a tiny piece
    const std::string lopsided = "Short.\n" + std::string(3000, 'y');
    EXPECT_EQ(SentenceSplit::split(lopsided, 2, 100).size(), 1u);
    EXPECT_EQ(SentenceSplit::split("", 2, 100), std::vector<std::string>{""});
}

TEST(SentenceSplit, ShortTextsAndSingleChainStayWhole)
{
    const std::string text = sentences(10);
    EXPECT_EQ(SentenceSplit::split(text, 4, text.size()).size(), 1u);
    EXPECT_EQ(SentenceSplit::split(sentences(200), 1, 10).size(), 1u);
    EXPECT_EQ(SentenceSplit::split(sentences(200), 0, 10).size(), 1u);
}

TEST(SentenceSplit, EngineStreamCutsOnlyBetweenWholeFormattingBlocks)
{
    using SentenceSplit::Form;
    // "[...]" blocks count as blanks, escaped characters and block contents are never sentence ends
    const std::string block = "Word\\. more\\[x. y\\] text[ .\\] ]here. ";
    std::string stream;
    for (int i = 0; i < 30; ++i)
        stream += block + "End.[][\n\n]";
    const auto split = SentenceSplit::split(stream, 2, 50, Form::EngineStream);
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(join(split), stream);
    EXPECT_TRUE(split[0].ends_with("End.[][\n\n]")) << split[0].substr(split[0].size() - 30);
    // the same text read as plain text would cut inside the blocks
    for (const auto& piece : SentenceSplit::split(stream, 8, 10, Form::EngineStream))
        EXPECT_TRUE(piece.ends_with("]") || piece.ends_with(" ")) << piece;
    // an unclosed block is no blank
    const std::string unclosed = std::string(100, 'a') + ".[" + std::string(100, 'b');
    EXPECT_EQ(SentenceSplit::split(unclosed, 2, 10, Form::EngineStream).size(), 1u);
}

TEST(SentenceSplit, EngineStreamCutsOnlyAtEmptyLines)
{
    using SentenceSplit::Form;
    // "Inc." ends its line but not its sentence: the engine reads on into the next line
    const std::string stanza = "Copyright: 2001 Sun Microsystems Inc.[\n]License: LGPL-2+.[][\n\n]";
    const std::string lineEnds = "It ends here.[\n]And here.[\n]";
    std::string stream;
    for (int i = 0; i < 20; ++i)
        stream += lineEnds + stanza;
    const auto split = SentenceSplit::split(stream, 6, 40, Form::EngineStream);
    ASSERT_EQ(split.size(), 6u);
    EXPECT_EQ(join(split), stream);
    for (size_t i = 0; i + 1 < split.size(); ++i)
        EXPECT_TRUE(split[i].ends_with(".[][\n\n]")) << split[i];
    // blanks with two line breaks but no mark, and a mark whose block holds one line break, are no cuts
    std::string unmarked;
    for (int i = 0; i < 20; ++i)
        unmarked += "One line.[\n \n]Another.[][\n]";
    EXPECT_EQ(SentenceSplit::split(unmarked, 4, 20, Form::EngineStream).size(), 1u);
}
