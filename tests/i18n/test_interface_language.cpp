#include "InterfaceCaptions.h"
#include "InterfaceLanguage.h"
#include "ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QSet>
#include <QVariant>

namespace {

std::optional<QString> detect(const QString& install, const QString& deflt)
{
    return detectInterfaceLanguageFrom({install, deflt, false, QString()});
}

// The locale variables, unset for one test.
class LocaleEnvironment : public ScopedEnvironment {
public:
    LocaleEnvironment() : ScopedEnvironment({"LC_ALL", "LC_MESSAGES", "LANG"}) {}
};

}  // namespace

TEST(LocaleMapping, KnownLocalesGiveTheirWindowsIds)
{
    const std::pair<const char*, const char*> cases[] = {
        {"fr_FR.UTF-8", "040C"},
        {"fr_CA", "040C"},
        {"es_ES.UTF-8", "0C0A"},
        {"de_AT", "0407"},
        {"it_IT@euro", "0410"},
        {"pt_BR.UTF-8", "0416"},
        {"pt_PT", "0816"},
        {"nl_NL.UTF-8", "0413"},
        {"nl_BE", "0413"},
        {"en_GB.UTF-8", "0409"},
        {"zh_CN.UTF-8", "0804"},
        {"zh_SG.GBK", "0804"},
        {"zh_TW.UTF-8", "0404"},
        {"zh_HK.Big5", "0404"},
        {"ja_JP.UTF-8", "0011"},
        {"sv_SE", "001D"},
        {"C", ""},
        {"POSIX", ""},
        {"C.UTF-8", ""},
        {"xx_YY", ""},
        {"", ""},
    };
    for (const auto& [locale, id] : cases)
        EXPECT_EQ(languageIdFromLocale(locale), QString(id)) << locale;
}

TEST(LocaleMapping, FirstNonEmptyVariableWins)
{
    LocaleEnvironment env;
    EXPECT_EQ(systemLanguageId(), QString());
    env.set("LANG", "de_DE.UTF-8");
    EXPECT_EQ(systemLanguageId(), QString("0407"));
    env.set("LC_MESSAGES", "nl_NL.UTF-8");
    EXPECT_EQ(systemLanguageId(), QString("0413"));
    env.set("LC_ALL", "");  // set but empty: passed over
    EXPECT_EQ(systemLanguageId(), QString("0413"));
    env.set("LC_ALL", "fr_FR.UTF-8");
    EXPECT_EQ(systemLanguageId(), QString("040C"));
}

TEST(Detection, InstallationLanguagesGiveTheirInterface)
{
    EXPECT_EQ(detect("040C", "040C"), QString("French"));
    EXPECT_EQ(detect("0C0A", "0C0A"), QString("Spanish"));
    EXPECT_EQ(detect("0407", "0407"), QString("German"));
    EXPECT_EQ(detect("0410", "0410"), QString("Italian"));
    EXPECT_EQ(detect("0416", "0416"), QString("Portuguese"));
    EXPECT_EQ(detect("0816", "0816"), QString("Portuguese"));
    EXPECT_EQ(detect("0413", "0413"), QString("Dutch"));
    EXPECT_EQ(detect("0409", "0409"), QString("English"));
    EXPECT_EQ(detect("0011", "0011"), QString("English"));
    EXPECT_EQ(detect("", ""), QString("English"));
    EXPECT_EQ(detect("x", "y"), QString("English"));
}

TEST(Detection, ChineseEndsOnlyForSimplified)
{
    EXPECT_EQ(detect("0804", "0409"), std::nullopt);  // InstallLanguage 0804 is read as it is
    EXPECT_EQ(detect("0404", "0404"), QString("English"));
    EXPECT_EQ(detect("0409", "0404"), QString("English"));  // Default is read when not 0804
    EXPECT_EQ(detect("0409", "0C04"), std::nullopt);
    EXPECT_EQ(detect("040c", "040c"), QString("French"));  // lower-case hex still French
}

TEST(Detection, Win9xLocaleIsReadAfterTheInstallationLanguage)
{
    // the locale overrides: French installation, English locale
    EXPECT_EQ(detectInterfaceLanguageFrom({"040C", "040C", true, "00000409"}), QString("English"));
    EXPECT_EQ(detectInterfaceLanguageFrom({"0409", "0409", true, "00000407"}), QString("German"));
    EXPECT_EQ(detectInterfaceLanguageFrom({"0409", "0409", true, "00000804"}), std::nullopt);
    // a Chinese installation is forgiven by an English locale
    EXPECT_EQ(detectInterfaceLanguageFrom({"0804", "0804", true, "00000409"}), QString("English"));
    EXPECT_EQ(detectInterfaceLanguageFrom({"0409", "0409", true, ""}), QString("English"));
}

TEST(Detection, EnvironmentDrivesTheWholeDetection)
{
    LocaleEnvironment env;
    env.set("LANG", "pt_BR.UTF-8");
    EXPECT_EQ(detectInterfaceLanguage(false), QString("Portuguese"));
    env.set("LANG", "nl_NL.UTF-8");
    EXPECT_EQ(detectInterfaceLanguage(false), QString("Dutch"));
    EXPECT_EQ(detectInterfaceLanguage(true), QString("Dutch"));
    env.set("LANG", "zh_TW.UTF-8");
    EXPECT_EQ(detectInterfaceLanguage(false), QString("English"));
    env.set("LANG", "zh_CN.UTF-8");
    EXPECT_EQ(detectInterfaceLanguage(false), std::nullopt);
    EXPECT_EQ(detectInterfaceLanguage(true), std::nullopt);
}

TEST(LanguageNames, ColumnsFollowTheMenuOrder)
{
    EXPECT_EQ(interfaceLanguageColumn("English"), 0);
    EXPECT_EQ(interfaceLanguageColumn("Dutch"), 6);
    EXPECT_EQ(interfaceLanguageColumn("english"), -1);  // exact comparison
    EXPECT_EQ(interfaceLanguageColumn("Klingon"), -1);
    EXPECT_EQ(interfaceLanguageColumn(""), -1);
}

TEST(CaptionTable, NamesAreUniqueAndEveryCellFilled)
{
    QSet<QString> names;
    int hints = 0;
    for (const CaptionRow& row : interfaceCaptionTable()) {
        EXPECT_FALSE(names.contains(row.objectName)) << row.objectName;
        names.insert(row.objectName);
        hints += row.kind == CaptionKind::Hint;
        for (int column = 0; column < 7; ++column)
            EXPECT_FALSE(interfaceCaptionText(row, column).isEmpty()) << row.objectName;
    }
    EXPECT_EQ(names.size(), 79);
    EXPECT_EQ(hints, 17);
    // the numbers of the sentence in every language
    for (int column = 0; column < 7; ++column) {
        const QString reused = interfaceCaption("MemoryReused", column);
        EXPECT_TRUE(reused.contains("%1") && reused.contains("%2")) << column;
    }
    EXPECT_EQ(interfaceCaption("MemoryReused", 3).arg(2).arg(5),
              QString::fromUtf8("2 von 5 Sätzen wurden aus dem Übersetzungsspeicher übernommen."));
}

TEST(CaptionTable, ApplyingAColumnSetsCaptionsHintsAndOneCheckMark)
{
    QObject window;
    auto add = [&](const char* name) {
        auto* object = new QObject(&window);
        object->setObjectName(name);
        return object;
    };
    QObject* file = add("Nouveau1");
    QObject* undo = add("Dfaire1");
    QObject* bold = add("ToolButton12");
    QObject* english = add("English1");
    QObject* dutch = add("Dutch2");
    QObject* other = add("HistoryWindow");  // a text another window reads for itself

    QStringList missing = applyInterfaceCaptions(&window, 6);
    EXPECT_EQ(file->property("text").toString(), QString("&Bestand"));
    EXPECT_EQ(undo->property("text").toString(), QString("&On&gedaan maken"));
    EXPECT_EQ(bold->property("toolTip").toString(), QString("Onderstrepen"));
    EXPECT_FALSE(bold->property("text").isValid());
    EXPECT_TRUE(dutch->property("checked").toBool());
    EXPECT_FALSE(english->property("checked").toBool());
    EXPECT_TRUE(missing.contains("ToolButton1"));
    EXPECT_TRUE(missing.contains("Francais1"));
    EXPECT_FALSE(missing.contains("Nouveau1"));
    EXPECT_FALSE(missing.contains("HistoryWindow"));
    EXPECT_FALSE(other->property("text").isValid());
    EXPECT_EQ(interfaceCaption("HistoryWindow", 6), QString("Geschiedenis"));

    applyInterfaceCaptions(&window, 1);
    EXPECT_EQ(bold->property("toolTip").toString(), QString("soulign?"));
    applyInterfaceCaptions(&window, 0);
    EXPECT_EQ(file->property("text").toString(), QString("&File"));
    EXPECT_TRUE(english->property("checked").toBool());
    EXPECT_FALSE(dutch->property("checked").toBool());

    // an unknown column changes nothing
    EXPECT_TRUE(applyInterfaceCaptions(&window, 7).isEmpty());
    EXPECT_TRUE(applyInterfaceCaptions(&window, -1).isEmpty());
    EXPECT_EQ(file->property("text").toString(), QString("&File"));
}
