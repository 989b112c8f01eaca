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
    return DetectInterfaceLanguageFrom({install, deflt, false, QString()});
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
        EXPECT_EQ(LanguageIdFromLocale(locale), QString(id)) << locale;
}

TEST(LocaleMapping, FirstNonEmptyVariableWins)
{
    LocaleEnvironment env;
    EXPECT_EQ(SystemLanguageId(), QString());
    env.set("LANG", "de_DE.UTF-8");
    EXPECT_EQ(SystemLanguageId(), QString("0407"));
    env.set("LC_MESSAGES", "nl_NL.UTF-8");
    EXPECT_EQ(SystemLanguageId(), QString("0413"));
    env.set("LC_ALL", "");  // set but empty: passed over
    EXPECT_EQ(SystemLanguageId(), QString("0413"));
    env.set("LC_ALL", "fr_FR.UTF-8");
    EXPECT_EQ(SystemLanguageId(), QString("040C"));
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
    EXPECT_EQ(DetectInterfaceLanguageFrom({"040C", "040C", true, "00000409"}), QString("English"));
    EXPECT_EQ(DetectInterfaceLanguageFrom({"0409", "0409", true, "00000407"}), QString("German"));
    EXPECT_EQ(DetectInterfaceLanguageFrom({"0409", "0409", true, "00000804"}), std::nullopt);
    // a Chinese installation is forgiven by an English locale
    EXPECT_EQ(DetectInterfaceLanguageFrom({"0804", "0804", true, "00000409"}), QString("English"));
    EXPECT_EQ(DetectInterfaceLanguageFrom({"0409", "0409", true, ""}), QString("English"));
}

TEST(Detection, EnvironmentDrivesTheWholeDetection)
{
    LocaleEnvironment env;
    env.set("LANG", "pt_BR.UTF-8");
    EXPECT_EQ(DetectInterfaceLanguage(false), QString("Portuguese"));
    env.set("LANG", "nl_NL.UTF-8");
    EXPECT_EQ(DetectInterfaceLanguage(false), QString("Dutch"));
    EXPECT_EQ(DetectInterfaceLanguage(true), QString("Dutch"));
    env.set("LANG", "zh_TW.UTF-8");
    EXPECT_EQ(DetectInterfaceLanguage(false), QString("English"));
    env.set("LANG", "zh_CN.UTF-8");
    EXPECT_EQ(DetectInterfaceLanguage(false), std::nullopt);
    EXPECT_EQ(DetectInterfaceLanguage(true), std::nullopt);
}

TEST(LanguageNames, ColumnsFollowTheMenuOrder)
{
    EXPECT_EQ(InterfaceLanguageColumn("English"), 0);
    EXPECT_EQ(InterfaceLanguageColumn("Dutch"), 6);
    EXPECT_EQ(InterfaceLanguageColumn("english"), -1);  // exact comparison
    EXPECT_EQ(InterfaceLanguageColumn("Klingon"), -1);
    EXPECT_EQ(InterfaceLanguageColumn(""), -1);
}

TEST(CaptionTable, NamesAreUniqueAndEveryCellFilled)
{
    QSet<QString> names;
    int hints = 0;
    for (const CaptionRow& row : InterfaceCaptionTable()) {
        EXPECT_FALSE(names.contains(row.objectName)) << row.objectName;
        names.insert(row.objectName);
        hints += row.kind == CaptionKind::Hint;
        for (int column = 0; column < 7; ++column)
            EXPECT_FALSE(InterfaceCaptionText(row, column).isEmpty()) << row.objectName;
    }
    EXPECT_EQ(names.size(), 79);
    EXPECT_EQ(hints, 17);
    // the numbers of the sentence in every language
    for (int column = 0; column < 7; ++column) {
        const QString reused = InterfaceCaption("MemoryReused", column);
        EXPECT_TRUE(reused.contains("%1") && reused.contains("%2")) << column;
    }
    EXPECT_EQ(InterfaceCaption("MemoryReused", 3).arg(2).arg(5),
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

    QStringList missing = ApplyInterfaceCaptions(&window, 6);
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
    EXPECT_EQ(InterfaceCaption("HistoryWindow", 6), QString("Geschiedenis"));

    ApplyInterfaceCaptions(&window, 1);
    EXPECT_EQ(bold->property("toolTip").toString(), QString("soulign?"));
    ApplyInterfaceCaptions(&window, 0);
    EXPECT_EQ(file->property("text").toString(), QString("&File"));
    EXPECT_TRUE(english->property("checked").toBool());
    EXPECT_FALSE(dutch->property("checked").toBool());

    // an unknown column changes nothing
    EXPECT_TRUE(ApplyInterfaceCaptions(&window, 7).isEmpty());
    EXPECT_TRUE(ApplyInterfaceCaptions(&window, -1).isEmpty());
    EXPECT_EQ(file->property("text").toString(), QString("&File"));
}
