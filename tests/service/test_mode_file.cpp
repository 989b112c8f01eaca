// Reading the engine's pair files: the installed ones and hand-written
// pipelines with the shell forms the reader must take or refuse.
#include "ModeFile.h"

#include <gtest/gtest.h>

namespace {

const std::filesystem::path kModes = "/usr/share/apertium/modes";

std::vector<std::string> programs(const std::vector<ModeCommand>& commands)
{
    std::vector<std::string> names;
    for (const auto& c : commands)
        names.push_back(c.program);
    return names;
}

}  // namespace

TEST(ModeFile, ReadsInstalledEnglishSpanishPipeline)
{
    const auto parsed = ModeFile::load(kModes / "eng-spa.mode", ModeFile::unmarkedPlaceholders());
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    const auto& c = parsed.commands;
    ASSERT_GE(c.size(), 8u);
    EXPECT_EQ(c.front().program, "lt-proc");
    ASSERT_EQ(c.front().args.size(), 1u);
    EXPECT_EQ(c.front().args[0], "/usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin");
    // the tagger's "$2" is empty and vanishes; the generator's "$1" is the unmarked option
    const auto tagger = std::find_if(c.begin(), c.end(), [](auto& x) { return x.program == "apertium-tagger"; });
    ASSERT_NE(tagger, c.end());
    EXPECT_EQ(tagger->args, (std::vector<std::string>{"-g", "/usr/share/apertium/apertium-eng-spa/eng-spa.prob"}));
    const auto& generator = c[c.size() - 2];
    EXPECT_EQ(generator.program, "lt-proc");
    ASSERT_EQ(generator.args.size(), 2u);
    EXPECT_EQ(generator.args[0], "-n");
    EXPECT_TRUE(generator.args[1].ends_with("eng-spa.autogen.bin"));
    EXPECT_EQ(c.back().args.front(), "-p");
    for (const auto& command : c) {
        for (const auto& arg : command.args) {
            EXPECT_EQ(arg.find('\''), std::string::npos) << arg;
            EXPECT_EQ(arg.find('$'), std::string::npos) << arg;
        }
    }
}

TEST(ModeFile, EveryPlainInstalledPairParsesAndNamesDataThatExists)
{
    for (const char* name : {"eng-spa", "spa-eng", "fr-es", "es-fr", "es-pt", "pt-es", "spa-cat", "cat-spa", "eng-cat",
                             "ita-spa", "spa-ita"}) {
        const auto parsed = ModeFile::load(kModes / (std::string(name) + ".mode"), ModeFile::unmarkedPlaceholders());
        ASSERT_TRUE(parsed.ok()) << name << ": " << parsed.error;
        for (const auto& command : parsed.commands) {
            EXPECT_EQ(command.program.find(' '), std::string::npos) << name;
            for (const auto& arg : command.args) {
                if (arg.starts_with("/")) {
                    EXPECT_TRUE(std::filesystem::exists(arg)) << name << ": " << arg;
                }
            }
        }
    }
}

TEST(ModeFile, CatalanPipelineKeepsItsOwnCombinedTaggerOption)
{
    const auto parsed = ModeFile::load(kModes / "eng-cat.mode", ModeFile::unmarkedPlaceholders());
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(programs(parsed.commands)[1], "cg-proc");
    const auto tagger = std::find_if(parsed.commands.begin(), parsed.commands.end(),
                                     [](auto& x) { return x.program == "apertium-tagger"; });
    ASSERT_NE(tagger, parsed.commands.end());
    EXPECT_EQ(tagger->args.front(), "-gx");
}

TEST(ModeFile, QuotesPlaceholdersAndEscapes)
{
    const auto parsed = ModeFile::parsePipeline(
        "a 'x y' \"p $1 q\" $2 -o$1 \"\" |b\t'it''s' w\\ z|c \"say \\\"hi\\\" \\$5\"\n", {"-n", ""});
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    ASSERT_EQ(parsed.commands.size(), 3u);
    EXPECT_EQ(parsed.commands[0], (ModeCommand{"a", {"x y", "p -n q", "-o-n", ""}}));
    EXPECT_EQ(parsed.commands[1], (ModeCommand{"b", {"its", "w z"}}));
    EXPECT_EQ(parsed.commands[2], (ModeCommand{"c", {"say \"hi\" $5"}}));
    // placeholders past the ones given expand to nothing
    EXPECT_EQ(ModeFile::parsePipeline("a $7 b", {}).commands[0].args, (std::vector<std::string>{"b"}));
}

TEST(ModeFile, RefusesShellItCannotRunSafely)
{
    for (const char* text : {"a; rm -rf /", "a > /tmp/out", "a && b", "a `id`", "a $(id)", "a | | b", "a |", "", "   ",
                             "a 'open", "a \"open", "a $HOME", "a <in", "a & b", "a \\"}) {
        const auto parsed = ModeFile::parsePipeline(text, ModeFile::unmarkedPlaceholders());
        EXPECT_FALSE(parsed.ok()) << "accepted: " << text;
        EXPECT_TRUE(parsed.commands.empty()) << text;
    }
    // quoted, those characters are plain text
    const auto quoted = ModeFile::parsePipeline("a 'x;y>z' \"&|<\"", {});
    ASSERT_TRUE(quoted.ok()) << quoted.error;
    EXPECT_EQ(quoted.commands[0].args, (std::vector<std::string>{"x;y>z", "&|<"}));
}

TEST(ModeFile, MissingFileIsAnError) { EXPECT_FALSE(ModeFile::load("/nonexistent/x-y.mode", {}).ok()); }

TEST(ModeFile, NullFlushGoesRightAfterEachProgramOnce)
{
    std::vector<ModeCommand> commands{
        {"lt-proc", {"-b", "f.bin"}}, {"apertium-pretransfer", {}}, {"cg-proc", {"-z", "-w", "g.bin"}}};
    ModeFile::addNullFlush(commands);
    EXPECT_EQ(commands[0].args, (std::vector<std::string>{"-z", "-b", "f.bin"}));
    EXPECT_EQ(commands[1].args, (std::vector<std::string>{"-z"}));
    EXPECT_EQ(commands[2].args, (std::vector<std::string>{"-z", "-w", "g.bin"}));
}
