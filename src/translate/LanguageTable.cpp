#include "LanguageTable.h"

#include <array>

namespace LanguageTable {
namespace {

struct Entry {
    const char* name;
    const char* code;
};

const std::array<Entry, Count> Entries = {{
    {"English", "EN"},
    {"French", "FR"},
    {"German", "DE"},
    {"Spanish", "ES"},
    {"Italian", "IT"},
    {"Portuguese", "PT"},
    {"Dutch", "NL"},
    {"Greek", "EL"},
    {"Korean", "KO"},
    {"Russian", "RU"},
    {"Japanese", "JA"},
    {"Chinese(S)", "ZH"},
    {"Chinese(T)", "ZH-TW"},
    {"Hungarian", "HU"},
    {"Danish", "DA"},
    {"Dutch", "NL"},
    {"Finnish", "FI"},
    {"Swedish", "SV"},
    {"Arabic", "AR"},
    {"Catalan", "CA"},
    {"Croatian", "HR"},
    {"Czech", "CS"},
    {"Hebrew", "IW"},
    {"Norwegian", "NO"},
    {"Afrikaans", "AF"},
    {"Albanian", "SQ"},
    {"Belarusian", "BE"},
    {"Bulgarian", "BG"},
    {"Estonian", "ET"},
    {"Filipino", "TL"},
    {"Galician", "GL"},
    {"Haitian", "HT"},
    {"Hindi", "HI"},
    {"Icelandic", "IS"},
    {"Indonesian", "ID"},
    {"Irish", "GA"},
    {"Latvian", "LV"},
    {"Lithuanian", "LT"},
    {"Macedonian", "MK"},
    {"Malay", "MS"},
    {"Maltese", "MT"},
    {"Persian", "FA"},
    {"Polish", "PL"},
    {"Romanian", "RO"},
    {"Serbian", "SR"},
    {"Slovak", "SK"},
    {"Slovenian", "SL"},
    {"Swahili", "SW"},
    {"Thai", "TH"},
    {"Turkish", "TR"},
    {"Ukrainian", "UK"},
    {"Vietnamese", "VI"},
    {"Welsh", "CY"},
    {"Yiddish", "YI"},
}};

const char* const Domains[] = {
    "General",  "Automobile",  "Aviation", "Chemistry", "Colloquial", "Computer",    "Geography",
    "Business", "Electronics", "Food",     "Legal",     "Life",       "Mathematics", "Mechanical",
    "Medicine", "Metallurgy",  "Military", "Maritime",  "Optics",     "Physics",     "Politics",
};

bool inRange(int position) { return position >= 0 && position < Count; }

}  // namespace

QString displayName(int position)
{
    return inRange(position) ? QString::fromLatin1(Entries[position].name) : QString();
}

QString serviceCode(int position)
{
    return inRange(position) ? QString::fromLatin1(Entries[position].code) : QString();
}

int positionOf(const QString& key)
{
    const QString wanted = key.trimmed();
    if (wanted.isEmpty())
        return -1;
    for (int i = 0; i < Count; ++i)
        if (wanted.compare(QLatin1String(Entries[i].code), Qt::CaseInsensitive) == 0
            || wanted.compare(QLatin1String(Entries[i].name), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringList displayNames()
{
    QStringList names;
    for (const Entry& e : Entries)
        names << QString::fromLatin1(e.name);
    return names;
}

QStringList domainNames()
{
    QStringList names;
    for (const char* d : Domains)
        names << QString::fromLatin1(d);
    return names;
}

}  // namespace LanguageTable
