#include "VoiceSelection.h"

#include "AgentCharacter.h"
#include "Folders.h"
#include "LanguageDetector.h"
#include "LanguageTable.h"
#include "UserPrompts.h"
#include "VoiceTable.h"

#include <algorithm>

const QString VoiceSelection::DownloadRequestTitle = QStringLiteral("Download Request");

namespace {

constexpr int AmericanEnglish = 1033;
constexpr int BritishEnglish = 2057;

// The list entry "English" also counts as ready with the British engine fetched.
const QString BritishEngineInstaller = QStringLiteral("lhttseng.exe");

const Voice* byMenuItem(const QString& menuItem)
{
    const auto voices = VoiceTable::voices();
    const auto it = std::ranges::find(voices, menuItem, &Voice::menuItem);
    return it == voices.end() ? nullptr : &*it;
}

// The last row of the list-language table stands for every entry without a
// voice of its own; such text is read with the American English voice.
bool hasVoiceOfItsOwn(const QString& entry)
{
    return &VoiceTable::byListEntry(entry) != &VoiceTable::listLanguages().back();
}

}  // namespace

VoiceSelection::VoiceSelection(VoiceHost& host, AgentCharacter* const& currentCharacter, const QString& characterName,
                               QString& voiceName, const WindowsVersion::Query& version)
    : m_host(host), m_character(currentCharacter), m_characterName(characterName), m_voiceName(voiceName),
      m_version(version)
{}

void VoiceSelection::chooseVoice(const QString& menuItem)
{
    const Voice* voice = byMenuItem(menuItem);
    if (!voice)
        return;
    m_host.checkVoiceItem(voice->voiceName);
    m_voiceName = voice->voiceName;
    selectVoice(m_voiceName);
}

void VoiceSelection::selectVoice(const QString& voiceName)
{
    const Voice* voice = VoiceTable::byVoiceName(voiceName);
    if (!voice || !m_character)
        return;
    if (!m_host.speechEngineFetched(voice->engineInstaller))
        m_host.installSpeechEngine(voice->engineInstaller);
    // the installer keeps the window live: the character may have changed meanwhile
    if (!m_character)
        return;
    m_character->setLanguageId(voice->languageId);
    if (voice->languageId == BritishEnglish)
        m_character->setTtsModeId(VoiceTable::BritishModeId);
    m_character->speak(voice->greeting);
}

void VoiceSelection::markSpeechMenu()
{
    if (!m_character)
        return;  // the marks stay on the voice last chosen
    const Voice* voice = VoiceTable::byLanguageId(m_character->languageId());
    m_host.checkVoiceItem(voice ? voice->voiceName : QString());
}

void VoiceSelection::identifyVoiceLanguage(const QString& entry)
{
    if (!m_character)
        return;
    const int current = m_character->languageId();
    if ((current == AmericanEnglish || current == BritishEnglish) && entry.contains(QLatin1String("English")))
        return;
    // an entry without a voice of its own gets the American English one
    m_character->setLanguageId(VoiceTable::byListEntry(entry).languageId);
}

void VoiceSelection::restoreVoice()
{
    if (const Voice* voice = VoiceTable::byVoiceName(m_voiceName))
        chooseVoice(voice->menuItem);
}

QString VoiceSelection::storeVoice()
{
    if (m_character) {
        if (const Voice* voice = VoiceTable::byLanguageId(m_character->languageId()))
            m_voiceName = voice->voiceName;
    }
    return m_voiceName;
}

QString VoiceSelection::speechEngineFile(const QString& entry)
{
    return VoiceTable::byListEntry(entry).engineInstaller;
}

bool VoiceSelection::speechEngineReady(const QString& entry) const
{
    if (WindowsVersion::aboveSixPointZero(m_version))
        return true;
    const QString downloads = Folders::commonDataFolder();
    return Folders::entryExists(downloads, speechEngineFile(entry))
           || (entry == QLatin1String("English") && Folders::entryExists(downloads, BritishEngineInstaller));
}

void VoiceSelection::readAloud()
{
    if (!m_character)
        return;
    const VoiceHost::Pane target = m_host.targetPane();
    const VoiceHost::Pane source = m_host.sourcePane();
    if (target.text.isEmpty() && source.text.isEmpty()) {
        m_character->setLanguageId(AmericanEnglish);
        m_character->speak(QStringLiteral("Hey, please select something so that I can read it aloud."));
        return;
    }
    if (m_host.readTargetOption() && !readPane(target, QStringLiteral("Nothing to read in the target window!")))
        return;
    if (m_host.readSourceOption())
        readPane(source, QStringLiteral("Nothing to read in the source window!"));
}

bool VoiceSelection::readPane(const VoiceHost::Pane& pane, const QString& nothingToRead)
{
    if (pane.text.isEmpty()) {
        m_character->speak(nothingToRead);
        return false;
    }
    const QString& spoken = pane.selection.isEmpty() ? pane.text : pane.selection;
    const bool identify = m_host.identifyLanguageOption();
    const QString entry = identify ? identifiedLanguage(spoken, pane.language) : pane.language;
    offerEngine(entry);
    // the question and the installer keep the window live
    if (!m_character)
        return false;
    if (identify)
        identifyVoiceLanguage(entry);
    if (pane.progress.word)
        m_character->speakFollowed(spoken, pane.progress);
    else
        m_character->speak(spoken);
    return true;
}

QString VoiceSelection::identifiedLanguage(const QString& text, const QString& entry)
{
    const LanguageDetector::Result result =
        LanguageDetector::detect(text, LanguageDetector::Hints{-1, LanguageTable::positionOf(entry)});
    // the list's own entry stays when it names the language found (an English list entry keeps its voice)
    if (!result.detected() || LanguageDetector::sameLanguage(result.best().position, LanguageTable::positionOf(entry)))
        return entry;
    return LanguageTable::displayName(result.best().position);
}

void VoiceSelection::offerEngine(const QString& entry)
{
    // an entry without a voice of its own is read in English: there is no engine of its own to fetch
    if (speechEngineReady(entry) || !hasVoiceOfItsOwn(entry))
        return;
    const QString question =
        entry + QStringLiteral(" Text-To-Speech engine was not found on your system. To make ") + m_characterName
        + QStringLiteral(" speak ") + entry
        + QStringLiteral(", you need to download and install this engine. Would you like to install it?");
    if (UserPrompts::instance().question(question, DownloadRequestTitle) == UserPrompts::Answer::Yes)
        m_host.installSpeechEngine(speechEngineFile(entry));
}
