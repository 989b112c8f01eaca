// The engine with the installed pairs: a long text shared between chains
// must read exactly as if one chain had done it all.
#include "TranslationEngine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace std::chrono_literals;

namespace {

std::string longEnglish()
{
    const char* lines[] = {
        "The committee met on Monday to discuss the new library.",
        "Everyone agreed that the old building was too small!",
        "Where will the children read during the winter?",
        "The mayor said: \"We will build it next year.\"",
        "Books, maps and newspapers will be kept on the first floor.",
    };
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += std::string(lines[i % 5]) + (i % 6 == 5 ? "\n\n" : (i % 3 == 2 ? "\n" : " "));
    return text;
}

// expectShared: the text has cut points, so the last chain must have had work.
TranslationEngine::Outcome run(int chains, const std::string& text, const char* from, const char* to,
                               bool expectShared = true)
{
    TranslationEngine::Options options;
    options.parallel = chains;
    options.minPieceBytes = 200;
    TranslationEngine engine(options);
    auto out = engine.translate(text, from, to);
    if (chains > 1 && expectShared) {
        EXPECT_GE(engine.runningChains(engine.router().route(from, to)->front()->modeName), chains);
    }
    return out;
}

}  // namespace

TEST(TranslationEngine, SharedLongTextReadsAsIfOneChainDidIt)
{
    const std::string text = longEnglish();
    const auto single = run(1, text, "en", "es");
    ASSERT_EQ(single.status, 200) << single.text;
    EXPECT_NE(single.text.find("biblioteca"), std::string::npos);
    EXPECT_EQ(run(2, text, "en", "es").text, single.text);
    EXPECT_EQ(run(3, text, "en", "es").text, single.text);
}

TEST(TranslationEngine, SharedLicenceTextWithLetteredListsReadsTheSame)
{
    // "A. Use in the Title Page...", "J. Preserve the network location...":
    // list labels look like sentence ends and must not become cut points
    std::ifstream in("/usr/share/common-licenses/GFDL-1.3");
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string licence = whole.str();
    const size_t at = licence.find("4. MODIFICATIONS");
    ASSERT_NE(at, std::string::npos);
    const std::string text = licence.substr(at, 6000);
    const auto single = run(1, text, "en", "es");
    ASSERT_EQ(single.status, 200) << single.text;
    EXPECT_EQ(run(2, text, "en", "es").text, single.text);
    EXPECT_EQ(run(4, text, "en", "es").text, single.text);
}

TEST(TranslationEngine, ListLabelIsNoPlaceToCut)
{
    std::string filler;
    for (int i = 0; i < 30; ++i)
        filler += "the house and the garden of the old town ";
    const std::string text =
        filler + "\nJ. Preserve the network location of the Document for public access\n" + filler + ".\n";
    const auto single = run(1, text, "en", "es");
    ASSERT_EQ(single.status, 200) << single.text;
    EXPECT_NE(single.text.find("J. "), std::string::npos);
    EXPECT_EQ(run(2, text, "en", "es", false).text, single.text);
}

TEST(TranslationEngine, SharedLongTextThroughAPivot)
{
    const std::string text = longEnglish();
    const auto single = run(1, text, "en", "pt");
    ASSERT_EQ(single.status, 200) << single.text;
    EXPECT_EQ(run(2, text, "en", "pt").text, single.text);
}

TEST(TranslationEngine, LineStructureIsKept)
{
    TranslationEngine engine({});
    const auto out = engine.translate("The dog.\nThe cat.\n\nThe house.\n", "en", "es");
    ASSERT_EQ(out.status, 200) << out.text;
    EXPECT_EQ(out.text, "El perro.\nEl gato.\n\nLa casa.\n");
}

TEST(TranslationEngine, TextTheServiceDoesNotFormatItselfStillTranslates)
{
    // a very long blank goes through the engine's own formatting programs
    TranslationEngine engine({});
    const std::string blank(9000, ' ');
    const auto out = engine.translate("The dog." + blank + "The cat.\n", "en", "es");
    ASSERT_EQ(out.status, 200) << out.text;
    EXPECT_EQ(out.text, "El perro." + blank + "El gato.\n");
}

TEST(TranslationEngine, PiecesOfARequestReadExactlyAsTheWholeRequest)
{
    // lines ending in an abbreviation: the engine carries the words across the line end
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "Files: src/part" + std::to_string(i)
                + "/*\nCopyright: 2001, 2002 Sun Microsystems Inc.\n"
                  "License: LGPL-2+\nThe dog sleeps in the garden.\n\n";
    TranslationEngine::Options whole;
    whole.piecesPerChain = 1;
    const auto reference = TranslationEngine(whole).translate(text, "en", "es");
    ASSERT_EQ(reference.status, 200) << reference.text;
    for (const int chains : {1, 2}) {
        TranslationEngine::Options options;
        options.parallel = chains;
        options.piecesPerChain = 8;
        options.minPieceBytes = 20;
        EXPECT_EQ(TranslationEngine(options).translate(text, "en", "es").text, reference.text) << chains << " chains";
    }
}

TEST(TranslationEngine, FileNamesInTheTextStayText)
{
    // the reformatter reads "[@file]" blocks: the text's own brackets must never become one
    const std::string secret = (std::filesystem::temp_directory_path() / "lqz7k-xw9").string();
    std::ofstream(secret) << "do not show";
    TranslationEngine engine({});
    for (const std::string& text :
         {"The dog [@" + secret + "] sleeps.", "[@" + secret + "]", "\\[@" + secret + "]\n\n"}) {
        const auto out = engine.translate(text, "en", "es");
        ASSERT_EQ(out.status, 200) << out.text;
        EXPECT_EQ(out.text.find("do not show"), std::string::npos) << out.text;
        EXPECT_NE(out.text.find("[@" + secret + "]"), std::string::npos) << out.text;
    }
    std::filesystem::remove(secret);
}
