// The two ends of the exchange as the service sees them: the client's form
// body coming in, the quoted reply going out and read back by the client's
// own extraction.
#include "FormDecoding.h"
#include "LanguageCodes.h"
#include "LanguageTable.h"
#include "ReplyEscaping.h"
#include "ServiceExchange.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <set>

namespace {

// What the application shows for a translation the service produced.
std::string roundTrip(const std::string& translation)
{
    return extractTranslation(QByteArray::fromStdString(ReplyEscaping::escape(translation))).toStdString();
}

std::string encoded(const std::string& value)
{
    return QUrl::toPercentEncoding(QString::fromStdString(value)).toStdString();
}

}  // namespace

TEST(ReplyEscaping, QuotesAndEscapesQuotationMarks)
{
    EXPECT_EQ(ReplyEscaping::escape("Hola"), "\"Hola\"");
    EXPECT_EQ(ReplyEscaping::escape(""), "\"\"");
    EXPECT_EQ(ReplyEscaping::escape("say \"hi\""), "\"say \\\"hi\\\"\"");
    EXPECT_EQ(roundTrip("Hola"), "Hola");
    EXPECT_EQ(roundTrip(""), "");
    EXPECT_EQ(roundTrip("el \"perro\""), "el \"perro\"");
    EXPECT_EQ(roundTrip("\""), "\"");
}

TEST(ReplyEscaping, BackslashesSurviveTheClient)
{
    // the client undoes only \" so other backslashes are sent as they are
    EXPECT_EQ(roundTrip("C:\\dir\\file"), "C:\\dir\\file");
    EXPECT_EQ(roundTrip("a\\\"b"), "a\\\"b");
    EXPECT_EQ(roundTrip("end\\"), "end\\");
    EXPECT_EQ(roundTrip("\\"), "\\");
    EXPECT_EQ(roundTrip("two\\\\"), "two\\\\");
    EXPECT_EQ(roundTrip("tab\\t and \\u00e9"), "tab\\t and \\u00e9");
}

TEST(ReplyEscaping, LineBreaksBecomeTheClientsSpacesAndParagraphs)
{
    EXPECT_EQ(ReplyEscaping::escape("a\nb"), "\"a\\r\\nb\"");
    EXPECT_EQ(ReplyEscaping::escape("a\r\n\r\nb"), "\"a\\r\\n \\r\\nb\"");
    // one break joins the lines, a blank line is a paragraph break
    EXPECT_EQ(roundTrip("uno\ndos"), "uno dos");
    EXPECT_EQ(roundTrip("uno\r\ndos"), "uno dos");
    EXPECT_EQ(roundTrip("uno\rdos"), "uno dos");
    EXPECT_EQ(roundTrip("uno\n\ndos"), "uno\r\n\r\ndos");
    EXPECT_EQ(roundTrip("uno\r\n\r\ndos"), "uno\r\n\r\ndos");
    // a line of blanks between two breaks is an empty line
    EXPECT_EQ(roundTrip("uno\n  \t\ndos"), "uno\r\n\r\ndos");
    EXPECT_EQ(roundTrip("uno\n\n\n\ndos"), "uno\r\n\r\n\r\n\r\ndos");
    EXPECT_EQ(roundTrip("uno\n\n\ndos"), "uno\r\n\r\n dos");
    // spaces that start a following line with text are that line's own
    EXPECT_EQ(roundTrip("uno\n  dos"), "uno   dos");
    EXPECT_EQ(roundTrip("fin.\n"), "fin. ");
}

TEST(ReplyEscaping, NeverSendsARealLineBreak)
{
    const std::string reply = ReplyEscaping::escape("a\r\nb\rc\nd\n\n");
    EXPECT_EQ(reply.find('\r'), std::string::npos);
    EXPECT_EQ(reply.find('\n'), std::string::npos);
}

TEST(ReplyEscaping, UnicodeTextPassesUnchanged)
{
    EXPECT_EQ(roundTrip("Párrafo – «cita» 日本"), "Párrafo – «cita» 日本");
}

TEST(FormDecoding, PlusIsASpaceAndPercentTwoBIsAPlus)
{
    EXPECT_EQ(FormDecoding::percentDecode("a+b%2Bc%20d"), "a b+c d");
    EXPECT_EQ(FormDecoding::percentDecode("a+b", false), "a+b");
    EXPECT_EQ(FormDecoding::percentDecode("%25%3d%26%3D"), "%=&=");
    EXPECT_EQ(FormDecoding::percentDecode("%C3%A1%e6%97%a5"), "á日");
}

TEST(FormDecoding, StrayPercentSignsStayAsTheyAre)
{
    EXPECT_EQ(FormDecoding::percentDecode("100%"), "100%");
    EXPECT_EQ(FormDecoding::percentDecode("50% off"), "50% off");
    EXPECT_EQ(FormDecoding::percentDecode("%zz%4"), "%zz%4");
    EXPECT_EQ(FormDecoding::percentDecode("%"), "%");
    EXPECT_EQ(FormDecoding::percentDecode("%00x").size(), 2u);
}

TEST(FormDecoding, ReadsTheClientsEightFieldsInOrder)
{
    const std::string text = "Tom + Jerry = 100% & more\r\nline two \"quoted\" é";
    const std::string body = "v=2&q=" + encoded(text) + "&ui=en&from=en&to=zh-tw&nl=1&esc=1&utf=1";
    const auto fields = FormDecoding::decode(body);
    ASSERT_EQ(fields.size(), 8u);
    EXPECT_EQ(fields[0], (std::pair<std::string, std::string>{"v", "2"}));
    EXPECT_EQ(fields[1].second, text);
    EXPECT_EQ(fields[4].second, "zh-tw");
    EXPECT_EQ(fields[7].first, "utf");
    EXPECT_EQ(FormDecoding::field(fields, "q"), text);
    EXPECT_EQ(FormDecoding::field(fields, "from"), "en");
    EXPECT_FALSE(FormDecoding::field(fields, "x"));
}

TEST(FormDecoding, OddBodiesDecodeWithoutSurprises)
{
    EXPECT_TRUE(FormDecoding::decode("").empty());
    EXPECT_TRUE(FormDecoding::decode("&&&").empty());
    const auto fields = FormDecoding::decode("a&b=&=c&q=x=y&q=second");
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[0], (std::pair<std::string, std::string>{"a", ""}));
    EXPECT_EQ(fields[1], (std::pair<std::string, std::string>{"b", ""}));
    EXPECT_EQ(fields[2], (std::pair<std::string, std::string>{"", "c"}));
    // an unencoded "=" inside a value stays in the value; the first field of a name wins
    EXPECT_EQ(FormDecoding::field(fields, "q"), "x=y");
}

TEST(FormDecoding, Utf8Validation)
{
    EXPECT_TRUE(FormDecoding::isValidUtf8(""));
    EXPECT_TRUE(FormDecoding::isValidUtf8("plain"));
    EXPECT_TRUE(FormDecoding::isValidUtf8("á日😀"));
    EXPECT_FALSE(FormDecoding::isValidUtf8("\xC3"));              // cut short
    EXPECT_FALSE(FormDecoding::isValidUtf8("\xE6\x97"));          // cut short
    EXPECT_FALSE(FormDecoding::isValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(FormDecoding::isValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(FormDecoding::isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(FormDecoding::isValidUtf8("\xFF"));
    EXPECT_FALSE(FormDecoding::isValidUtf8("a\x80z"));
}

TEST(LanguageCodes, TheServiceKnowsEveryLanguageOfTheWindowsLists)
{
    std::set<std::string> listed;
    for (int i = 0; i < LanguageTable::Count; ++i) {
        const std::string code = LanguageTable::serviceCode(i).toLower().toStdString();
        listed.insert(code);
        EXPECT_FALSE(LanguageCodes::displayName(code).empty()) << code;
        EXPECT_TRUE(LanguageCodes::isWellFormed(code)) << code;
    }
    const auto known = LanguageCodes::listCodes();
    EXPECT_EQ(std::set<std::string>(known.begin(), known.end()), listed);
}
