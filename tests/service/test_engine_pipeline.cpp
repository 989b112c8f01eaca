// Long-lived engine chains: the answer that belongs to each request, a chain
// that dies between requests or in the middle of one, one that never
// answers, and a program that is missing. Stand-in pairs use ordinary
// NUL-aware tools as the engine (sed -z -u echoes each block at once, head -z
// stops after one, tail -z waits for an end that never comes) and two small
// scripts that behave as the engine's programs do, so each failure can be
// caused on purpose.
#include "EnginePipeline.h"
#include "StopFlag.h"
#include "TranslationEngine.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <future>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

auto soon(std::chrono::milliseconds d = 30s) { return ProcessChain::Clock::now() + d; }

// Polls until the condition holds or the deadline passes; false then.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds within = 30s)
{
    for (const auto until = soon(within); !condition();) {
        if (ProcessChain::Clock::now() >= until)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Echoes each NUL-ended block and, like the engine's programs, flushes what
// it holds with a NUL when its input ends. A block holding "HOLD" is kept
// until a file named "release" appears beside the script; one holding
// "CRASH" makes it crash.
const char* kEngineLikeScript = R"(#!/usr/bin/python3
import os, signal, sys, time
here = os.path.dirname(os.path.abspath(sys.argv[0]))
data = b""
while True:
    got = os.read(0, 65536)
    if not got:
        os.write(1, data + b"\0")
        break
    data += got
    while b"\0" in data:
        block, data = data.split(b"\0", 1)
        while b"HOLD" in block and not os.path.exists(os.path.join(here, "release")):
            time.sleep(0.02)
        if b"CRASH" in block:
            os.kill(os.getpid(), signal.SIGSEGV)
        os.write(1, block + b"\0")
)";

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
    std::string engineLikeProgram()
    {
        const auto path = m_dir / "engine-like";
        std::ofstream(path) << kEngineLikeScript;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path.string();
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
        ASSERT_TRUE(echo.process(request, soon(), answer, error)) << error;
        EXPECT_EQ(answer, request);
    }
    EXPECT_EQ(echo.starts(), 1);
}

TEST_F(ScratchModes, RequestsQueuedInOneChainEachGetTheirOwnAnswers)
{
    EnginePipeline chain({{engineLikeProgram(), {}}, {"sed", {"-u", ""}}});
    // the first request is held in the chain while the others queue behind it
    std::string first, error;
    auto held = std::async(std::launch::async, [&] { return chain.process("HOLD first", soon(), first, error); });
    ASSERT_TRUE(eventually([&] { return chain.outstandingBytes() > 0; })) << "the held request never reached the chain";
    std::vector<std::future<std::vector<std::string>>> others;
    for (int i = 0; i < 6; ++i) {
        others.push_back(std::async(std::launch::async, [&chain, i] {
            const std::vector<std::string> blocks{"request " + std::to_string(i), std::string(i * 3000, 'x'), "end"};
            std::vector<std::string> answers;
            std::string failure;
            EXPECT_TRUE(chain.process(blocks, soon(), answers, failure)) << failure;
            EXPECT_EQ(answers, blocks);
            return answers;
        }));
    }
    ASSERT_TRUE(eventually([&] { return chain.outstandingBytes() >= 6 * 7500; }))
        << "the six queued requests never all reached the chain (" << chain.outstandingBytes() << " bytes outstanding)";
    std::ofstream(m_dir / "release") << "";
    EXPECT_TRUE(held.get()) << error;
    EXPECT_EQ(first, "HOLD first");
    for (auto& other : others)
        other.get();
    EXPECT_EQ(chain.starts(), 1);

    // a crash fails everything in the chain; the second try, alone, tells whose text it was
    std::vector<std::future<bool>> beside;
    std::string crashError;
    bool crashedEveryTry = false;
    auto culprit = std::async(std::launch::async, [&] {
        std::string answer;
        return chain.process("CRASH here", soon(), answer, crashError, &crashedEveryTry);
    });
    for (int i = 0; i < 4; ++i) {
        beside.push_back(std::async(std::launch::async, [&chain, i] {
            std::string answer, failure;
            bool crashed = true;
            const bool ok = chain.process("beside " + std::to_string(i), soon(), answer, failure, &crashed);
            EXPECT_FALSE(crashed);
            return ok && answer == "beside " + std::to_string(i);
        }));
    }
    EXPECT_FALSE(culprit.get());
    EXPECT_TRUE(crashedEveryTry);
    EXPECT_NE(crashError.find("signal 11"), std::string::npos) << crashError;
    for (auto& other : beside)
        EXPECT_TRUE(other.get());

    // a request whose stop is raised leaves at once, held in the chain as it is; the
    // requests queued behind it get their own answers from a fresh chain, none of its stream
    std::filesystem::remove(m_dir / "release");
    StopFlag stop;
    std::string stopError;
    auto stopped = std::async(std::launch::async, [&] {
        std::vector<std::string> answers;
        return chain.process({"HOLD stopped", "its second block"}, soon(), answers, stopError, nullptr, {}, &stop);
    });
    while (chain.outstandingBytes() == 0)
        std::this_thread::sleep_for(2ms);
    const int startsBefore = chain.starts();
    std::vector<std::future<bool>> behind;
    for (int i = 0; i < 3; ++i) {
        behind.push_back(std::async(std::launch::async, [&chain, i] {
            std::string answer, failure;
            const bool ok = chain.process("behind " + std::to_string(i), soon(), answer, failure);
            EXPECT_TRUE(ok) << failure;
            return ok && answer == "behind " + std::to_string(i);
        }));
    }
    while (chain.outstandingBytes() < 30 + 3 * 9)
        std::this_thread::sleep_for(2ms);
    stop.raise();
    EXPECT_FALSE(stopped.get());
    EXPECT_EQ(stopError, "stopped");
    for (auto& other : behind)
        EXPECT_TRUE(other.get());
    EXPECT_EQ(chain.starts(), startsBefore + 1);
}

TEST(EnginePipeline, EmbeddedNulCannotSplitARequest)
{
    EnginePipeline echo({{"sed", {"-u", ""}}});
    std::string answer, error;
    ASSERT_TRUE(echo.process(std::string("one\0two", 7), soon(), answer, error)) << error;
    EXPECT_EQ(answer, "onetwo");
    ASSERT_TRUE(echo.process("three", soon(), answer, error)) << error;
    EXPECT_EQ(answer, "three");
}

TEST(EnginePipeline, AChainThatDiesIsStartedAgain)
{
    // answers one block, then exits when the next one arrives (exiting right after an answer
    // would race the answer against the exit and may be taken for a cut answer, rightly)
    EnginePipeline once({{"sed", {"-u", "-n", "1p;2q"}}});
    for (const char* request : {"first", "second", "third"}) {
        std::string answer, error;
        ASSERT_TRUE(once.process(request, soon(), answer, error)) << request << ": " << error;
        EXPECT_EQ(answer, request);
    }
    EXPECT_EQ(once.starts(), 3);
}

TEST_F(ScratchModes, AProgramThatEndsMidRequestNeverGivesACutAnswer)
{
    // head passes the first bytes on and exits; the program after it would
    // flush them as a whole block when its input ended
    EnginePipeline cut({{"head", {"-c", "5"}}, {engineLikeProgram(), {}}});
    std::string answer, error;
    EXPECT_FALSE(cut.process("hello world", soon(), answer, error)) << answer;
    EXPECT_NE(error.find("head exited with code 0"), std::string::npos) << error;
    EXPECT_EQ(cut.starts(), 2);  // tried once more on a fresh chain
}

TEST(EnginePipeline, ARequestThatTakesTooLongFailsInsteadOfHanging)
{
    // tail answers only at the end of its input, which never comes
    EnginePipeline silent({{"tail", {"-n", "1"}}});
    std::string answer, error;
    EXPECT_FALSE(silent.process("anything", soon(300ms), answer, error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

TEST(EnginePipeline, MissingProgramIsReported)
{
    EnginePipeline broken({ModeCommand{"no-such-engine-stage", {}}});
    std::string answer, error;
    EXPECT_FALSE(broken.process("x", soon(), answer, error));
    EXPECT_NE(error.find("no-such-engine-stage"), std::string::npos) << error;
}

TEST_F(ScratchModes, EngineRunsTextThroughFormatterAndPairChain)
{
    writeMode("en-es", "sed -u '' | sed -u ''");
    writeMode("es-pt", "sed -u ''");
    TranslationEngine engine({m_dir, 30s});
    // the formatter's escapes and line handling must come back out exactly
    const std::string text = "Line [one] ^with$ @marks\\ and {braces} <tags> / slash\n\nSecond \"para\".\n";
    const auto direct = engine.translate(text, "en", "es");
    ASSERT_EQ(direct.status, 200) << direct.text;
    EXPECT_EQ(direct.text, text);
    const auto pivot = engine.translate("Tom & Jerry + 100% = fun\n", "en", "pt");
    ASSERT_EQ(pivot.status, 200) << pivot.text;
    EXPECT_EQ(pivot.text, "Tom & Jerry + 100% = fun\n");
    EXPECT_EQ(engine.runningChains("en-es"), 1);
    EXPECT_EQ(engine.runningChains("es-pt"), 1);
    EXPECT_EQ(engine.chainStarts("en-es"), 1);
}

TEST_F(ScratchModes, EngineTurnsCarriageReturnsIntoLineFeeds)
{
    writeMode("en-es", "sed -u ''");
    TranslationEngine engine({m_dir, 30s});
    const auto out = engine.translate("one\r\ntwo\rthree\r\n", "en", "es");
    ASSERT_EQ(out.status, 200) << out.text;
    EXPECT_EQ(out.text, "one\ntwo\nthree\n");
}

TEST_F(ScratchModes, EngineReportsTimeOutsAndUnknownPairs)
{
    writeMode("en-es", "tail -n 1");
    TranslationEngine engine({m_dir, 300ms});
    const auto slow = engine.translate("text", "en", "es");
    EXPECT_EQ(slow.status, 504);
    EXPECT_NE(slow.text.find("en-es"), std::string::npos) << slow.text;

    const auto unknown = engine.translate("text", "fr", "ja");
    EXPECT_EQ(unknown.status, 400);
    EXPECT_EQ(unknown.text, "No translation from French (fr) to Japanese (ja) is installed. French (fr) can be "
                            "translated into: none. Japanese (ja) can be translated from: none.");
    EXPECT_EQ(engine.translate("text", "es", "en").status, 400);
    EXPECT_EQ(engine.translate("text", "EN!", "en").status, 400);
    EXPECT_EQ(engine.translate("text", "x", "en").status, 400);
}

TEST_F(ScratchModes, SameLanguageComesBackUnchanged)
{
    TranslationEngine engine({m_dir, 30s});
    const auto out = engine.translate("as it is\n", "en", "en");
    EXPECT_EQ(out.status, 200);
    EXPECT_EQ(out.text, "as it is\n");
}

namespace {

// The programs this process started that are still there, zombies included.
std::vector<pid_t> childrenOfThisProcess()
{
    std::vector<pid_t> pids;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream children(task.path() / "children");
        for (pid_t pid = 0; children >> pid;)
            pids.push_back(pid);
    }
    return pids;
}

bool isZombie(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    return line.find(") Z") != std::string::npos;
}

}  // namespace

TEST_F(ScratchModes, AProgramThatDiesBetweenRequestsIsReapedAtOnce)
{
    writeMode("en-es", "sed -u ''");
    TranslationEngine engine({m_dir, 30s});
    // the start-up's look-up of package versions has ended: no program but the engine's is left
    engine.pairsJson();
    ASSERT_EQ(engine.translate("one\n", "en", "es").text, "one\n");
    const std::vector<pid_t> engines = childrenOfThisProcess();
    ASSERT_EQ(engines.size(), 1u);
    ::kill(engines[0], SIGKILL);
    // reaped and its chain stopped without waiting for another request
    const auto gone = [&] {
        return !std::filesystem::exists("/proc/" + std::to_string(engines[0])) && engine.runningChains("en-es") == 0;
    };
    eventually(gone);  // polling /proc
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(engines[0])))
        << (isZombie(engines[0]) ? "left a zombie" : "still running");
    EXPECT_EQ(engine.runningChains("en-es"), 0);
    EXPECT_EQ(engine.translate("two\n", "en", "es").text, "two\n");
}

TEST_F(ScratchModes, ALongRequestDoesNotHoldShortOnesOfTheSamePair)
{
    writeMode("en-es", engineLikeProgram());
    TranslationEngine engine({m_dir, 60s});
    // long in bytes too: a chain that holds little takes the next request behind it
    std::string longText = "HOLD the long one\n";
    while (longText.size() < 64 * 1024)
        longText += "and more words of the long one\n";
    auto held = std::async(std::launch::async, [&] { return engine.translate(longText, "en", "es"); });
    // wait until the held request has its chain, so the short one cannot go first
    ASSERT_TRUE(eventually([&] { return engine.runningChains("en-es") > 0; })) << "the held request never got a chain";
    const auto shortOne = engine.translate("short\n", "en", "es");
    EXPECT_EQ(shortOne.status, 200) << shortOne.text;
    EXPECT_EQ(shortOne.text, "short\n");
    EXPECT_EQ(held.wait_for(0s), std::future_status::timeout);
    std::ofstream(m_dir / "release") << "";
    const auto longOne = held.get();
    EXPECT_EQ(longOne.status, 200) << longOne.text;
    EXPECT_EQ(longOne.text, longText);
}

TEST_F(ScratchModes, AChainStartsOnFirstUseAndStopsAfterItsIdleTime)
{
    writeMode("en-es", "sed -u ''");
    TranslationEngine::Options options{m_dir, 30s};
    options.idleTimeout = 300ms;
    TranslationEngine engine(options);
    // the start-up's look-up of package versions has ended: no program but the engine's is left
    engine.pairsJson();
    EXPECT_EQ(engine.runningChains("en-es"), 0);
    ASSERT_EQ(engine.translate("one\n", "en", "es").text, "one\n");
    EXPECT_EQ(engine.runningChains("en-es"), 1);
    EXPECT_TRUE(eventually([&] { return engine.runningChains("en-es") == 0; })) << "the idle chain was not stopped";
    EXPECT_TRUE(childrenOfThisProcess().empty());
    ASSERT_EQ(engine.translate("two\n", "en", "es").text, "two\n");
    EXPECT_EQ(engine.chainStarts("en-es"), 2);
}
