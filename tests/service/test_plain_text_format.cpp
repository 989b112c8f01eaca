// The service's own plain-text formatting against the engine's deformatter
// and reformatter run on the same input: real licence prose, hand-picked
// corners, and random text made of the characters the format cares about.
// Where the service declines a text, the programs must still be the ones used.
#include "PlainTextFormat.h"
#include "ProcessChain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace std::chrono_literals;

namespace {

std::string runProgram(const char* program, const std::string& input)
{
    ProcessChain chain;
    std::string error, output;
    EXPECT_TRUE(chain.start({{program}}, error)) << error;
    EXPECT_TRUE(chain.exchange(input, ProcessChain::Clock::now() + 60s, output, error)) << error;
    return output;
}

void expectDeformatLikeTheProgram(const std::string& text)
{
    std::string ours;
    ASSERT_TRUE(PlainTextFormat::deformat(text, ours)) << testing::PrintToString(text);
    EXPECT_EQ(ours, runProgram("apertium-destxt", text)) << "text: " << testing::PrintToString(text);
}

// mayDecline: the stream may name a file, which only the program reads
void expectReformatLikeTheProgram(const std::string& stream, bool mayDecline = false)
{
    std::string ours;
    if (mayDecline && !PlainTextFormat::reformat(stream, ours))
        return;
    ASSERT_TRUE(PlainTextFormat::reformat(stream, ours)) << testing::PrintToString(stream);
    EXPECT_EQ(ours, runProgram("apertium-retxt", stream)) << "stream: " << testing::PrintToString(stream);
}

std::string licenceProse()
{
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/share/common-licenses")) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path());
        std::stringstream whole;
        whole << in.rdbuf();
        text += whole.str();
    }
    return text;
}

// Random text over an alphabet heavy in blanks, escaped characters and the
// pieces of ".[]", with some multi-byte letters.
std::string randomText(std::mt19937& random, bool stream)
{
    static const std::vector<std::string> plain = {
        " ",
        " ",
        "  ",
        "\t",
        "\n",
        "\n",
        "\n\n",
        "~",
        ".",
        ".",
        "[",
        "]",
        "\\",
        "$",
        "/",
        "<",
        ">",
        "@",
        "^",
        "{",
        "}",
        "#",
        "*",
        "|",
        "+",
        "a",
        "b",
        "word",
        "é",
        "ñ",
        "\xc2\xa0",
        "\xe2\x80\xa8",
        "\xe3\x80\x80",
        "\xf0\x9f\x98\x80",
        "'",
        "\"",
        "!",
        "?",
        "-",
    };
    static const std::vector<std::string> extra = {".[]", "[\n\n]", "\\[", "\\]", "\\\\", "\r", std::string(1, '\0'),
                                                   "[ ]"};
    std::string out;
    const int length = std::uniform_int_distribution<int>(0, 40)(random);
    const size_t choices = plain.size() + (stream ? extra.size() : 0);
    for (int i = 0; i < length; ++i) {
        const size_t k = std::uniform_int_distribution<size_t>(0, choices - 1)(random);
        out += k < plain.size() ? plain[k] : extra[k - plain.size()];
    }
    return out;
}

int randomCases()
{
    const char* count = std::getenv("LINGUARO_FORMAT_CASES");
    return count ? std::atoi(count) : 150;
}

}  // namespace

TEST(PlainTextFormat, LicenceProseFormatsLikeTheEnginePrograms)
{
    const std::string text = licenceProse();
    ASSERT_GT(text.size(), 100000u);
    expectDeformatLikeTheProgram(text);
    std::string stream;
    ASSERT_TRUE(PlainTextFormat::deformat(text, stream));
    expectReformatLikeTheProgram(stream);
    std::string back;
    ASSERT_TRUE(PlainTextFormat::reformat(stream, back));
    EXPECT_EQ(back.size(), text.size());
}

TEST(PlainTextFormat, CornersOfTheDeformatter)
{
    for (const std::string& text : std::vector<std::string>{"",
                                                            " ",
                                                            "  ",
                                                            "a",
                                                            "a ",
                                                            " a",
                                                            "a.",
                                                            "~",
                                                            "a~b",
                                                            "a\n",
                                                            "\n\n",
                                                            "a\n\nb",
                                                            "a\n \nb",
                                                            "x. \n\ny",
                                                            "x.\t\n\n",
                                                            "a  b  ",
                                                            "[]",
                                                            ".[]",
                                                            "\\",
                                                            "a\\",
                                                            "$/<>@[\\]^{}",
                                                            "end.\n\n\n",
                                                            "\xc2\xa0 \xe3\x80\x80",
                                                            "a\x01\x0b\x0c\x7f b",
                                                            std::string(8192, ' ') + "x",
                                                            std::string(70000, 'x') + "\n\n" + std::string(70000, '[')})
        expectDeformatLikeTheProgram(text);
}

TEST(PlainTextFormat, CornersOfTheReformatter)
{
    for (const std::string& stream : std::vector<std::string>{"",
                                                              ".[]",
                                                              "a.[][\n\n]b.[]",
                                                              "..[]",
                                                              "[.[]]",
                                                              "\\.[]",
                                                              "[a[b]c]",
                                                              "[abc",
                                                              "a]b",
                                                              "a\\",
                                                              "\\\\",
                                                              "[a\\]b]",
                                                              "\\n",
                                                              "x.[\\]]",
                                                              "a.[] ]",
                                                              ".[",
                                                              "x\\~y",
                                                              std::string("a\0b", 3),
                                                              "a\r\nb",
                                                              "\\$\\/\\<\\>\\@\\[\\\\\\]\\^\\{\\}"})
        expectReformatLikeTheProgram(stream);
}

TEST(PlainTextFormat, RandomTextFormatsLikeTheEnginePrograms)
{
    std::mt19937 random(20261207);
    for (int i = 0; i < randomCases(); ++i) {
        expectDeformatLikeTheProgram(randomText(random, false));
        expectReformatLikeTheProgram(randomText(random, true), true);
        if (HasFailure())
            return;
    }
}

TEST(PlainTextFormat, TextOutsideWhatIsKnownIsLeftToThePrograms)
{
    std::string out = "untouched";
    for (const std::string& text : {std::string("a\rb"), std::string("a\0b", 3), "a" + std::string(8193, ' ') + "b",
                                    std::string("\xff\xfe"), std::string("\xc0\xaf"), std::string("\xed\xa0\x80"),
                                    std::string("\xe2\x82"), std::string("\xf4\x90\x80\x80")}) {
        EXPECT_FALSE(PlainTextFormat::deformat(text, out)) << testing::PrintToString(text);
        EXPECT_EQ(out, "untouched");
    }
    for (const std::string& stream : {std::string("a[@/tmp/blank]b"), std::string("\xff"), std::string("\xe2\x82")})
        EXPECT_FALSE(PlainTextFormat::reformat(stream, out)) << testing::PrintToString(stream);
}
