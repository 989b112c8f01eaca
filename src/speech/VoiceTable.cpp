#include "VoiceTable.h"

#include <algorithm>

const QString VoiceTable::BritishModeId = QStringLiteral("{227A0E40-A92A-11d1-B17B-0020AFED142E}");

namespace {

// Greetings are said exactly as they stand, whatever character says them.
const Voice kVoices[] = {
    {"AE", "American English", "USEnglish", 1033, "tv_enua.exe", "Hi, I speak American English.", "en-us"},
    {"BE", "British English", "UKEnglish", 2057, "lhttseng.exe", "Hello, I speak British English.", "en-gb"},
    {"NL", "Dutch", "Dutch", 1043, "lhttsdun.exe", "Ik kan het Nederlands spreken.", "nl"},
    {"FR", "French", "French", 1036, "lhttsfrf.exe", "Bonjour, je parle beaucoup.", "fr"},
    {"DE", "German", "German", 1031, "lhttsged.exe", "Hallo, Ich kann Deutsches sprechen.", "de"},
    {"IT", "Italian", "Italian", 1040, "lhttsiti.exe", "Ciao, Parlo italiano.", "it"},
    {"JA", "Japanese", "Japanese", 1041, "lhttsjpj.exe", QStringLiteral("こんにちは、 私は日本語を話す。"), "ja"},
    {"KO", "Korean", "Korean", 1042, "lhttskok.exe", "123", "ko"},
    {"PT", "Portuguese(Brazil)", "Portuguese(Brazil)", 1046, "lhttsptb.exe", "Posso eu ajudar-lhe?", "pt-br"},
    {"RU", "Russian", "Russian", 1049, "lhttsrur.exe", QStringLiteral("Здравствулте!, Я говорю русского."), "ru"},
    {"ES", "Spanish", "Spanish", 1034, "lhttsspe.exe", "Hola, Soy Merlin.", "es"},
};

// Each character keeps a voice of its own in any language: a deep, unhurried
// wizard, a warm genie, a bright parrot, a Klatt-voiced robot; the British
// voice is a gentle female one.
const SpeechMode kModes[] = {
    {"{CA141FD0-AC7F-11D1-97A3-006008273002}", "Merlin", "m8"},
    {"{CA141FD0-AC7F-11D1-97A3-006008273000}", "Genie", "m3"},
    {"{CA141FD0-AC7F-11D1-97A3-006008273001}", "Peedy", "f5"},
    {"{CA141FD0-AC7F-11D1-97A3-006008273006}", "Robby", "klatt3"},
    {VoiceTable::BritishModeId, "UKEnglish", "f1"},
};

const ListLanguage kListLanguages[] = {
    {"English", false, "tv_enua.exe", 1033},
    {"Dutch", false, "lhttsdun.exe", 1043},
    {"French", false, "lhttsfrf.exe", 1036},
    {"German", false, "lhttsged.exe", 1031},
    {"Italian", false, "lhttsiti.exe", 1040},
    {"Japanese", false, "lhttsjpj.exe", 1041},
    {"Spanish", false, "lhttsspe.exe", 1034},
    {"Portuguese", true, "lhttsptb.exe", 1046},
    {"Russian", false, "lhttsrur.exe", 1049},
    {"Korean", false, "lhttskok.exe", 1042},
    {QString(), false, "LinguaroTranslator.exe", 1033},
};

}  // namespace

std::span<const Voice> VoiceTable::voices() { return kVoices; }

std::span<const SpeechMode> VoiceTable::speechModes() { return kModes; }

std::span<const ListLanguage> VoiceTable::listLanguages() { return kListLanguages; }

const Voice* VoiceTable::byVoiceName(const QString& voiceName)
{
    const auto it = std::ranges::find(kVoices, voiceName, &Voice::voiceName);
    return it == std::end(kVoices) ? nullptr : &*it;
}

const Voice* VoiceTable::byLanguageId(int languageId)
{
    const auto it = std::ranges::find(kVoices, languageId, &Voice::languageId);
    return it == std::end(kVoices) ? nullptr : &*it;
}

const ListLanguage& VoiceTable::byListEntry(const QString& entry)
{
    const auto rows = listLanguages();
    const auto it = std::ranges::find_if(rows.begin(), rows.end() - 1, [&](const ListLanguage& row) {
        return row.matchContains ? entry.contains(row.entry) : entry == row.entry;
    });
    return *it;  // the last row when nothing else matched
}

QString VoiceTable::variantFor(const QString& modeId)
{
    const auto it = std::ranges::find_if(
        kModes, [&](const SpeechMode& mode) { return mode.modeId.compare(modeId, Qt::CaseInsensitive) == 0; });
    return it == std::end(kModes) ? QString() : it->variant;
}

QString VoiceTable::engineName(const QString& engineInstaller)
{
    return engineInstaller.left(engineInstaller.lastIndexOf(u'.'));
}
