// The translation memory's sentence rule, as docs/history.md describes it.
#include "SentenceRule.h"

#include "QtPrinting.h"

#include <gtest/gtest.h>

namespace {

// The text again with each sentence in ‹›, so one string shows the sentences and what lies around them.
QString marked(const SentenceRule::Cut& cut)
{
    QString marked = cut.gaps.value(0);
    for (qsizetype i = 0; i < cut.sentences.size(); ++i)
        marked += QStringLiteral("‹") + cut.sentences.at(i) + QStringLiteral("›") + cut.gaps.value(i + 1);
    return marked;
}

}  // namespace

TEST(SentenceRule, EndsAtFinalMarksBeforeACapitalOrDigitAndAtLineBreaks)
{
    const struct {
        const char* name;
        const char* language;
        const char* text;
        const char* marked;
    } cases[] = {
        {"one sentence and its line end", "EN", "The blue whale sings at dawn.\r\n",
         "‹The blue whale sings at dawn.›\r\n"},
        {"each final mark, the whitespace kept apart", "EN", "It rains. He left!  Then 3 dogs ran?\tYes… 42 stayed.",
         "‹It rains.› ‹He left!›  ‹Then 3 dogs ran?›\t‹Yes…› ‹42 stayed.›"},
        {"closing quotes and brackets stay with the sentence; an opening one starts none", "EN",
         "He said \"Stop.\" Then (it ended.) «Fine.» Done.", "‹He said \"Stop.\"› ‹Then (it ended.) «Fine.»› ‹Done.›"},
        {"no end before a small letter, inside a number, or after an abbreviation", "EN",
         "It costs 5 dollars. and more e.g. London. Mr. Smith has version 2.5 now. No. 7 won.",
         "‹It costs 5 dollars. and more e.g. London.› ‹Mr. Smith has version 2.5 now.› ‹No. 7 won.›"},
        {"an abbreviation with a space in it", "DE", "Er kam z. B. Montags. Dann ging er.",
         "‹Er kam z. B. Montags.› ‹Dann ging er.›"},
        {"the language's own abbreviations", "ES", "El Sr. López llegó. Luego salió.",
         "‹El Sr. López llegó.› ‹Luego salió.›"},
        {"another language's are none", "FR", "El Sr. López llegó.", "‹El Sr.› ‹López llegó.›"},
        {"a region is its language", "en-GB", "Dr. Who came.", "‹Dr. Who came.›"},
        {"a word ending like an abbreviation is none", "EN", "I saw the Dr. Then I left. The gMr. Left.",
         "‹I saw the Dr. Then I left.› ‹The gMr.› ‹Left.›"},
        {"a capital with an accent", "FR", "Il est venu. Émile aussi.", "‹Il est venu.› ‹Émile aussi.›"},
        {"an ellipsis of three dots", "EN", "Wait... What?", "‹Wait...› ‹What?›"},
        {"a line break ends one without a mark, blank lines stay around", "EN",
         "A heading\r\n\r\n  an indented line  \r\nlast", "‹A heading›\r\n\r\n  ‹an indented line›  \r\n‹last›"},
        {"a final mark before a line break", "EN", "The end.\nnext line", "‹The end.›\n‹next line›"},
        {"a tab inside a sentence", "EN", "Name:\tJohn Smith.", "‹Name:\tJohn Smith.›"},
        {"whitespace only", "EN", " \r\n\t", " \r\n\t"},
        {"a language without abbreviations", "zh-TW", "Mr. Smith", "‹Mr.› ‹Smith›"},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const SentenceRule::Cut cut = SentenceRule::split(text, QString::fromLatin1(c.language));
        EXPECT_EQ(marked(cut), QString::fromUtf8(c.marked)) << c.name;
        EXPECT_EQ(cut.gaps.size(), cut.sentences.size() + 1) << c.name;
        for (const QString& sentence : cut.sentences)
            EXPECT_EQ(sentence, sentence.trimmed()) << c.name;
    }
}
