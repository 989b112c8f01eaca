#include "InterfaceLanguage.h"

#include <QHash>
#include <QRegularExpression>
#include <QtGlobal>

namespace {

// Primary-language IDs of the Windows language codes, by ISO 639 code.
const QHash<QString, int>& primaryLanguageIds()
{
    static const QHash<QString, int> ids = {
        {"ar", 0x01},  {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07},
        {"el", 0x08},  {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C}, {"he", 0x0D}, {"hu", 0x0E},
        {"is", 0x0F},  {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14}, {"nn", 0x14},
        {"no", 0x14},  {"pl", 0x15}, {"pt", 0x16}, {"rm", 0x17}, {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A},
        {"sr", 0x1A},  {"bs", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F},
        {"ur", 0x20},  {"id", 0x21}, {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26},
        {"lt", 0x27},  {"tg", 0x28}, {"fa", 0x29}, {"vi", 0x2A}, {"hy", 0x2B}, {"az", 0x2C}, {"eu", 0x2D},
        {"hsb", 0x2E}, {"mk", 0x2F}, {"st", 0x30}, {"ts", 0x31}, {"tn", 0x32}, {"ve", 0x33}, {"xh", 0x34},
        {"zu", 0x35},  {"af", 0x36}, {"ka", 0x37}, {"fo", 0x38}, {"hi", 0x39}, {"mt", 0x3A}, {"se", 0x3B},
        {"ga", 0x3C},  {"yi", 0x3D}, {"ms", 0x3E}, {"kk", 0x3F}, {"ky", 0x40}, {"sw", 0x41}, {"tk", 0x42},
        {"uz", 0x43},  {"tt", 0x44}, {"bn", 0x45}, {"pa", 0x46}, {"gu", 0x47}, {"or", 0x48}, {"ta", 0x49},
        {"te", 0x4A},  {"kn", 0x4B}, {"ml", 0x4C}, {"as", 0x4D}, {"mr", 0x4E}, {"sa", 0x4F}, {"mn", 0x50},
        {"bo", 0x51},  {"cy", 0x52}, {"km", 0x53}, {"lo", 0x54}, {"my", 0x55}, {"gl", 0x56}, {"kok", 0x57},
        {"sd", 0x59},  {"si", 0x5B}, {"iu", 0x5D}, {"am", 0x5E}, {"ne", 0x61}, {"fy", 0x62}, {"ps", 0x63},
        {"fil", 0x64}, {"dv", 0x65}, {"ha", 0x68}, {"yo", 0x6A}, {"ba", 0x6D}, {"lb", 0x6E}, {"kl", 0x6F},
        {"ig", 0x70},  {"ii", 0x78}, {"br", 0x7E}, {"ug", 0x80}, {"mi", 0x81}, {"oc", 0x82}, {"co", 0x83},
        {"rw", 0x87},  {"wo", 0x88}, {"gd", 0x91},
    };
    return ids;
}

QString hexId(int id) { return QString::asprintf("%04X", id); }

// The third and fourth characters of a code: its primary language.
QString primaryPart(const QString& code) { return code.mid(2, 2); }

// Steps shared by the installation code and the 9x locale.
void markFrenchOrChinese(const QString& code, QString& language)
{
    const QString primary = primaryPart(code);
    if (primary.toUpper() == QLatin1String("0C"))
        language = QStringLiteral("French");
    if (primary == QLatin1String("04"))
        language = QStringLiteral("CS");
    if (code == QLatin1String("0404"))
        language = QStringLiteral("CT");
}

}  // namespace

const QStringList& interfaceLanguageNames()
{
    static const QStringList names = {"English", "French", "Spanish", "German", "Italian", "Portuguese", "Dutch"};
    return names;
}

int interfaceLanguageColumn(const QString& language)
{
    return static_cast<int>(interfaceLanguageNames().indexOf(language));
}

QString languageIdFromLocale(const QString& locale)
{
    QString name = locale;
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0)
        name.truncate(cut);
    const QStringList parts = name.split(QLatin1Char('_'));
    const QString language = parts.value(0).toLower();
    const QString territory = parts.value(1).toUpper();

    if (language == QLatin1String("fr"))
        return QStringLiteral("040C");
    if (language == QLatin1String("es"))
        return QStringLiteral("0C0A");
    if (language == QLatin1String("de"))
        return QStringLiteral("0407");
    if (language == QLatin1String("it"))
        return QStringLiteral("0410");
    if (language == QLatin1String("pt"))
        return territory == QLatin1String("BR") ? QStringLiteral("0416") : QStringLiteral("0816");
    if (language == QLatin1String("nl"))
        return QStringLiteral("0413");
    if (language == QLatin1String("en"))
        return QStringLiteral("0409");
    if (language == QLatin1String("zh")) {
        if (territory == QLatin1String("CN") || territory == QLatin1String("SG"))
            return QStringLiteral("0804");
        if (territory == QLatin1String("TW") || territory == QLatin1String("HK"))
            return QStringLiteral("0404");
    }
    const auto found = primaryLanguageIds().constFind(language);
    return found == primaryLanguageIds().constEnd() ? QString() : hexId(found.value());
}

QString systemLanguageId()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return languageIdFromLocale(value);
    }
    return {};
}

std::optional<QString> detectInterfaceLanguageFrom(const SystemLanguageValues& values)
{
    QString language = QStringLiteral("English");
    QString code = values.installLanguage;
    if (code != QLatin1String("0804"))
        code = values.defaultLanguage;
    markFrenchOrChinese(code, language);

    if (values.win9xFamily) {
        code = values.win9xLocale.mid(4, 4);
        markFrenchOrChinese(code, language);
        if (primaryPart(code) == QLatin1String("09"))
            language = QStringLiteral("English");
    }

    if (language == QLatin1String("CS"))
        return std::nullopt;
    if (language == QLatin1String("CT"))
        language = QStringLiteral("English");

    static const std::pair<const char*, const char*> byPrimary[] = {
        {"0C", "French"}, {"0A", "Spanish"}, {"07", "German"}, {"16", "Portuguese"}, {"13", "Dutch"}, {"10", "Italian"},
    };
    const QString primary = primaryPart(code);
    for (const auto& [digits, name] : byPrimary) {
        if (primary == QLatin1String(digits)) {
            language = QLatin1String(name);
            break;
        }
    }
    return language;
}

std::optional<QString> detectInterfaceLanguage(bool win9xFamily)
{
    const QString id = systemLanguageId();
    SystemLanguageValues values{id, id, win9xFamily, QString()};
    if (win9xFamily && !id.isEmpty())
        values.win9xLocale = QStringLiteral("0000") + id;
    return detectInterfaceLanguageFrom(values);
}
