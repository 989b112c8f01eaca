// Rich text on its way to the engine's formatters and back: every way RTF
// writes a letter reaches the engine as that letter, what holds no text of
// the document never reaches it, and hostile input never breaks the reading.
#include "RtfPreparation.h"

#include <gtest/gtest.h>

TEST(RtfPreparation, LettersReachTheEngineAndComeBackAsEscapes)
{
    struct Case {
        const char* name;
        std::string rtf;
        std::string prepared;  // what the deformatter is given
        std::string restored;  // the same prepared text made RTF again
    };
    const std::vector<Case> cases{
        {"code page byte", R"({\rtf1\ansi caf\'e9})", "{\\rtf1\\ansi caf\xc3\xa9}", R"({\rtf1\ansi caf\u233?})"},
        {"Unicode with its stand-in", R"({\rtf1 caf\u233\'e9 ok})", "{\\rtf1 caf\xc3\xa9 ok}",
         R"({\rtf1 caf\u233? ok})"},
        {"two stand-ins, in a group only", R"({\rtf1 {\uc2 a\u8364 EUb}\u233?c})",
         "{\\rtf1 {a\xe2\x82\xac"
         "b}\xc3\xa9"
         "c}",
         R"({\rtf1 {a\u8364?b}\u233?c})"},
        {"negative unit", R"({\rtf1 \u-3913?})", "{\\rtf1 \xef\x82\xb7}", R"({\rtf1 \u-3913?})"},
        {"surrogate pair", R"({\rtf1 \u-10179?\u-8704?})", "{\\rtf1 \xf0\x9f\x98\x80}", R"({\rtf1 \u-10179?\u-8704?})"},
        {"Greek code page", R"({\rtf1\ansi\ansicpg1253 \'e1})", "{\\rtf1\\ansi\\ansicpg1253 \xce\xb1}",
         R"({\rtf1\ansi\ansicpg1253 \u945?})"},
        // font names and hidden destinations are set aside, escaped braces and binary data included
        {"tables set aside", R"({\rtf1{\fonttbl{\f0 Times \{x\};}}{\*\generator W\'e9;}{\pict\bin3 }}{ab}text})",
         R"({\rtf1{\lgkeep0}{\lgkeep1}{\lgkeep2}text})",
         R"({\rtf1{\fonttbl{\f0 Times \{x\};}}{\*\generator W\'e9;}{\pict\bin3 }}{ab}text})"},
        {"unit out of range", R"({\rtf1 a\u99999999999?b})", "{\\rtf1 ab}", R"({\rtf1 ab})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RtfPreparation::Prepared prepared;
        ASSERT_TRUE(RtfPreparation::prepare(c.rtf, prepared));
        EXPECT_EQ(prepared.rtf, c.prepared);
        EXPECT_EQ(RtfPreparation::restore(prepared.rtf, prepared.setAside), c.restored);
    }
}

TEST(RtfPreparation, HostileInputIsReadToItsEnd)
{
    RtfPreparation::Prepared prepared;
    EXPECT_FALSE(RtfPreparation::prepare("plain text", prepared));
    for (const std::string& rtf :
         {std::string("{\\rtf1 {\\fonttbl {{{"), std::string("{\\rtf1 \\'e"), std::string("{\\rtf1 \\u"),
          std::string("{\\rtf1 {\\*\\bin99999999 }"), std::string("{\\rtf1 }}}}}\\uc9 \\u65?"),
          std::string("{\\rtf1 ") + std::string(100000, '{') + "\\'ff"}) {
        RtfPreparation::Prepared p;
        ASSERT_TRUE(RtfPreparation::prepare(rtf, p));
        EXPECT_FALSE(RtfPreparation::restore(p.rtf + "\xff\xf0\x9f", p.setAside).empty());
    }
}
