#include "VoiceTable.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

TEST(VoiceTable, LookupsFindEachVoiceByItsOwnNames)
{
    const auto voices = VoiceTable::voices();
    ASSERT_EQ(voices.size(), 11u);
    EXPECT_EQ(voices.front().menuItem, "AE");
    EXPECT_EQ(voices.back().menuItem, "ES");
    QSet<int> languages;
    for (const Voice& voice : voices) {
        EXPECT_EQ(VoiceTable::byVoiceName(voice.voiceName), &voice) << qPrintable(voice.voiceName);
        EXPECT_EQ(VoiceTable::byLanguageId(voice.languageId), &voice) << voice.languageId;
        languages.insert(voice.languageId);
    }
    EXPECT_EQ(languages.size(), 11);
    EXPECT_EQ(VoiceTable::byVoiceName("usenglish"), nullptr);  // names are exact
    EXPECT_EQ(VoiceTable::byVoiceName("American English"), nullptr);
    EXPECT_EQ(VoiceTable::byLanguageId(1032), nullptr);
    EXPECT_EQ(VoiceTable::engineName("lhttsfrf.exe"), "lhttsfrf");
    EXPECT_EQ(VoiceTable::engineName("tv_enua.exe"), "tv_enua");
}

TEST(VoiceTable, ListEntriesPickEngineAndLanguage)
{
    const struct {
        const char* entry;
        const char* installer;
        int languageId;
    } cases[] = {
        {"English", "tv_enua.exe", 1033},
        {"French", "lhttsfrf.exe", 1036},
        {"Korean", "lhttskok.exe", 1042},
        {"Portuguese", "lhttsptb.exe", 1046},
        {"Portuguese (Brazil)", "lhttsptb.exe", 1046},  // the one row matched by containing
        {"Brazilian Portuguese", "lhttsptb.exe", 1046},
        {"English (UK)", "LinguaroTranslator.exe", 1033},  // the others are exact
        {"english", "LinguaroTranslator.exe", 1033},
        {"Greek", "LinguaroTranslator.exe", 1033},
        {"", "LinguaroTranslator.exe", 1033},
    };
    for (const auto& c : cases) {
        const ListLanguage& row = VoiceTable::byListEntry(c.entry);
        EXPECT_EQ(row.engineInstaller, c.installer) << c.entry;
        EXPECT_EQ(row.languageId, c.languageId) << c.entry;
    }
    EXPECT_TRUE(VoiceTable::listLanguages().back().entry.isEmpty());
}

TEST(VoiceTable, EachSpeechModeHasAVariantOfItsOwn)
{
    QSet<QString> variants;
    for (const SpeechMode& mode : VoiceTable::speechModes()) {
        const QString variant = VoiceTable::variantFor(mode.modeId);
        EXPECT_FALSE(variant.isEmpty()) << qPrintable(mode.owner);
        EXPECT_EQ(VoiceTable::variantFor(mode.modeId.toLower()), variant) << qPrintable(mode.owner);
        variants.insert(variant);
    }
    EXPECT_EQ(variants.size(), 5);
    EXPECT_FALSE(VoiceTable::variantFor(VoiceTable::BritishModeId).isEmpty());
    EXPECT_TRUE(VoiceTable::variantFor("{00000000-0000-0000-0000-000000000000}").isEmpty());
    EXPECT_TRUE(VoiceTable::variantFor("").isEmpty());
}

}  // namespace
