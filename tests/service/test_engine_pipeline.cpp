// Long-lived engine chains: the answer that belongs to each request, a chain
// that dies between requests, one that never answers, and a program that is
// missing. Stand-in pairs use ordinary NUL-aware tools as the engine (sed -z
// -u echoes each block at once, head -z stops after one, tail -z waits for an
// end that never comes) so each failure can be caused on purpose.
#include "EnginePipeline.h"
#include "TranslationEngine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

auto soon(std::chrono::milliseconds d = 30s)
{
    return ProcessChain::Clock::now() + d;
}

class ScratchModes : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path()
                / ("engine-modes-" + std::to_string(::getpid()) + "-"
                   + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    void writeMode(const std::string& name, const std::string& pipeline)
    {
        std::ofstream(m_dir / (name + ".mode")) << pipeline << "\n";
    }
    std::filesystem::path m_dir;
};

}  // namespace

TEST(EnginePipeline, EachRequestGetsItsOwnAnswerFromOneRunningChain)
{
    EnginePipeline echo({{"sed", {"-u", ""}}, {"sed", {"-u", ""}}});
    for (int i = 0; i < 20; ++i) {
        std::string answer, error;
        const std::string request = "request " + std::to_string(i) + std::string(i * 5000, 'x');
        ASSERT_TRUE(echo.Process(request, soon(), answer, error)) << error;
        EXPECT_EQ(answer, request);
    }
    EXPECT_EQ(echo.starts(), 1);
}

TEST(EnginePipeline, EmbeddedNulCannotSplitARequest)
{
    EnginePipeline echo({{"sed", {"-u", ""}}});
    std::string answer, error;
    ASSERT_TRUE(echo.Process(std::string("one\0two", 7), soon(), answer, error)) << error;
    EXPECT_EQ(answer, "onetwo");
    ASSERT_TRUE(echo.Process("three", soon(), answer, error)) << error;
    EXPECT_EQ(answer, "three");
}

TEST(EnginePipeline, AChainThatDiesIsStartedAgain)
{
    // answers one block, then exits
    EnginePipeline once({{"head", {"-n", "1"}}});
    for (const char* request : {"first", "second", "third"}) {
        std::string answer, error;
        ASSERT_TRUE(once.Process(request, soon(), answer, error)) << request << ": " << error;
        EXPECT_EQ(answer, request);
    }
    EXPECT_EQ(once.starts(), 3);
}

TEST(EnginePipeline, ARequestThatTakesTooLongFailsInsteadOfHanging)
{
    // tail answers only at the end of its input, which never comes
    EnginePipeline silent({{"tail", {"-n", "1"}}});
    std::string answer, error;
    EXPECT_FALSE(silent.Process("anything", soon(300ms), answer, error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

TEST(EnginePipeline, MissingProgramIsReported)
{
    EnginePipeline broken({ModeCommand{"no-such-engine-stage", {}}});
    std::string answer, error;
    EXPECT_FALSE(broken.Process("x", soon(), answer, error));
    EXPECT_NE(error.find("no-such-engine-stage"), std::string::npos) << error;
}

TEST_F(ScratchModes, EngineRunsTextThroughFormatterAndPairChain)
{
    writeMode("aa-bb", "sed -u '' | sed -u ''");
    writeMode("bb-cc", "sed -u ''");
    TranslationEngine engine({m_dir, 30s});
    // the formatter's escapes and line handling must come back out exactly
    const std::string text = "Line [one] ^with$ @marks\\ and {braces} <tags> / slash\n\nSecond \"para\".\n";
    const auto direct = engine.Translate(text, "aa", "bb");
    ASSERT_EQ(direct.status, 200) << direct.text;
    EXPECT_EQ(direct.text, text);
    const auto pivot = engine.Translate("Tom & Jerry + 100% = fun\n", "aa", "cc");
    ASSERT_EQ(pivot.status, 200) << pivot.text;
    EXPECT_EQ(pivot.text, "Tom & Jerry + 100% = fun\n");
    ASSERT_NE(engine.pipeline("aa-bb"), nullptr);
    ASSERT_NE(engine.pipeline("bb-cc"), nullptr);
    EXPECT_EQ(engine.pipeline("aa-bb")->starts(), 1);
}

TEST_F(ScratchModes, EngineTurnsCarriageReturnsIntoLineFeeds)
{
    writeMode("aa-bb", "sed -u ''");
    TranslationEngine engine({m_dir, 30s});
    const auto out = engine.Translate("one\r\ntwo\rthree\r\n", "aa", "bb");
    ASSERT_EQ(out.status, 200) << out.text;
    EXPECT_EQ(out.text, "one\ntwo\nthree\n");
}

TEST_F(ScratchModes, EngineReportsTimeOutsAndUnknownPairs)
{
    writeMode("aa-bb", "tail -n 1");
    TranslationEngine engine({m_dir, 300ms});
    const auto slow = engine.Translate("text", "aa", "bb");
    EXPECT_EQ(slow.status, 504);
    EXPECT_NE(slow.text.find("aa-bb"), std::string::npos) << slow.text;

    const auto unknown = engine.Translate("text", "en", "ja");
    EXPECT_EQ(unknown.status, 400);
    EXPECT_EQ(unknown.text, "No translation from English (en) to Japanese (ja) is installed. Available: aa-bb.");
    EXPECT_EQ(engine.Translate("text", "bb", "aa").status, 400);
    EXPECT_EQ(engine.Translate("text", "EN!", "aa").status, 400);
    EXPECT_EQ(engine.Translate("text", "x", "aa").status, 400);
}

TEST_F(ScratchModes, SameLanguageComesBackUnchanged)
{
    TranslationEngine engine({m_dir, 30s});
    const auto out = engine.Translate("as it is\n", "en", "en");
    EXPECT_EQ(out.status, 200);
    EXPECT_EQ(out.text, "as it is\n");
}
