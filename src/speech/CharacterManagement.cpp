#include "CharacterManagement.h"

#include "AgentCharacter.h"
#include "CharacterHost.h"
#include "Folders.h"
#include "VoiceSelection.h"
#include "VoiceTable.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <limits>

namespace {

const CharacterRow kCharacters[] = {
    {"Merlin", "merlin.acs", "Merlin.acs", "Hi, I am Merlin!"},
    {"Genie", "genie.acs", "Genie.acs", "Hi, I am Genie!"},
    {"Peedy", "peedy.acs", "Peedy.acs", "Hi, I am Peedy!"},
    {"Robby", "robby.acs", "Robby.acs", "Hi, I am Robby!"},
};

// The character's own pop-up menu: one command per voice, named after it.
struct VoiceCommand {
    const char* name;
    const char* caption;
};
const VoiceCommand kVoiceCommands[] = {
    {"USEnglish", "&English(US)"}, {"UKEnglish", "&English(UK)"}, {"Dutch", "&Dutch"},
    {"French", "&French"},         {"German", "&German"},         {"Italian", "&Italian"},
    {"Japanese", "&Japanese"},     {"Korean", "&Korean"},         {"Portuguese(Brazil)", "&Portuguese(Brazil)"},
    {"Russian", "&Russian"},       {"Spanish", "&Spanish"},
};

const QString StartCharacter = QStringLiteral("Merlin");
const QString AgentFolder = QStringLiteral("msagent");
const QString CharactersFolder = QStringLiteral("msagent/chars/");
constexpr int AmericanEnglish = 1033;
constexpr int MoveSpeed = 1000;

qint16 to16Bits(int value)
{
    return qint16(std::clamp(value, int(std::numeric_limits<qint16>::min()), int(std::numeric_limits<qint16>::max())));
}

// The speech mode a character speaks in after a switch to it.
QString speechModeOf(const QString& characterId)
{
    const auto modes = VoiceTable::speechModes();
    const auto it = std::ranges::find(modes, characterId, &SpeechMode::owner);
    return it == modes.end() ? QString() : it->modeId;
}

}  // namespace

CharacterManagement::CharacterManagement(AgentControl& agent, CharacterHost& host, VoiceSelection& voices,
                                         AgentCharacter*& currentCharacter, QString& characterName)
    : m_agent(agent), m_host(host), m_voices(voices), m_character(currentCharacter), m_characterName(characterName)
{}

const CharacterRow* CharacterManagement::byId(const QString& characterId)
{
    const auto it = std::ranges::find(kCharacters, characterId, &CharacterRow::id);
    return it == std::end(kCharacters) ? nullptr : &*it;
}

void CharacterManagement::loadStartCharacter(const QString& storedName)
{
    const QString name = storedName.isEmpty() ? StartCharacter : storedName;
    try {
        m_agent.setConnected(true);
        m_agent.load(name, name + QStringLiteral(".acs"));
        AgentCharacter* character = m_agent.character(name);
        present(*character);
        m_character = character;
        m_characterName = name;
        m_host.checkCharacterItem(name);
        addVoiceCommands();
    } catch (...) {
        // the window goes on without a character, and the menu names none
        m_agent.unload(name);
        m_character = nullptr;
        m_host.checkCharacterItem(QString());
        m_host.currentCharacterChanged();
        throw;
    }
    m_host.currentCharacterChanged();
}

void CharacterManagement::greetAtStart()
{
    if (!m_character)
        return;
    m_character->setTtsModeId(speechModeOf(StartCharacter));
    m_character->speak(QStringLiteral("Hello everybody, I am ") + m_characterName + u'!');
    m_character->speak(QStringLiteral("Welcome to Linguaro Translator!"));
}

void CharacterManagement::switchCharacter(const CharacterRow& row)
{
    if (m_switching || m_host.characterItemChecked(row.id))
        return;
    const QScopedValueRollback<bool> switching(m_switching, true);

    // The new character is loaded before the old one leaves, so a load that
    // fails leaves the old one on screen and the menu as it was.
    QString checkedBefore;
    for (const CharacterRow& other : kCharacters)
        if (m_host.characterItemChecked(other.id))
            checkedBefore = other.id;
    m_host.checkCharacterItem(row.id);
    AgentCharacter* character = nullptr;
    try {
        const QString windows = Folders::windowsFolder();
        if (!Folders::entryExists(windows, AgentFolder))
            m_host.installAgentCore();
        if (!Folders::entryExists(windows, CharactersFolder + row.file))
            m_host.installCharacter(row.id);
        m_agent.setConnected(true);
        m_agent.load(row.id, row.loadKey);
        character = m_agent.character(row.id);
    } catch (...) {
        m_host.checkCharacterItem(checkedBefore);
        throw;
    }
    if (m_characterName.compare(row.id, Qt::CaseInsensitive) != 0)
        m_agent.unload(m_characterName);
    m_characterName = row.id;
    m_character = character;
    m_host.currentCharacterChanged();
    present(*character);
    character->setTtsModeId(speechModeOf(row.id));
    addVoiceCommands();
    character->speak(row.greeting);
}

void CharacterManagement::present(AgentCharacter& character)
{
    // beside the source pane: at its lower right corner
    const QRect pane = m_host.sourcePaneGeometry();
    character.show(false);
    moveTo(character, qint16(pane.left() + pane.width()), qint16(pane.top() + pane.height()));
    character.play(QStringLiteral("Wave"));
    character.setLanguageId(AmericanEnglish);
}

void CharacterManagement::addVoiceCommands()
{
    if (!m_character)
        return;
    for (const VoiceCommand& command : kVoiceCommands)
        m_character->addCommand(QLatin1String(command.name), QLatin1String(command.caption), 1, 1, true);
}

void CharacterManagement::characterCommand(const AgentUserInput& input) { m_voices.selectVoice(input.Name); }

void CharacterManagement::characterDoubleClicked()
{
    if (m_character)
        m_character->stop();
}

void CharacterManagement::characterIdle() {}

void CharacterManagement::thinkOverSource()
{
    if (!m_character)
        return;
    const QRect pane = m_host.sourcePaneGeometry();
    m_character->play(QStringLiteral("THINK"));
    moveTo(*m_character, pane.width() / 2, pane.height() / 2);
    m_character->play(QStringLiteral("THINK"));
}

void CharacterManagement::moveTo(AgentCharacter& character, int clientX, int clientY)
{
    // the points are the window's client pixels; the character stands on the screen
    const QPoint screen = m_host.clientToScreen(QPoint(clientX, clientY));
    character.moveTo(to16Bits(screen.x()), to16Bits(screen.y()), MoveSpeed);
}
