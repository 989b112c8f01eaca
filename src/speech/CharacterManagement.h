#pragma once

#include <QString>

class AgentCharacter;
class AgentControl;
class CharacterHost;
class VoiceSelection;
struct AgentUserInput;

// A character of the Character menu.
struct CharacterRow {
    QString id;        // "Merlin": the character's ID and its menu item's caption
    QString file;      // tested in W/msagent/chars before a switch: "merlin.acs"
    QString loadKey;   // "Merlin.acs"
    QString greeting;  // said after a switch
};

// Loading, switching and greeting with the window's character, its pop-up
// menu of voice commands and its notifications. Agent failures throw
// AgentError; whatever fails, the menu's check mark and CharacterName name
// the character on screen (or none).
class CharacterManagement {
public:
    // currentCharacter and characterName are the window's; they must outlive this object.
    CharacterManagement(AgentControl& agent, CharacterHost& host, VoiceSelection& voices,
                        AgentCharacter*& currentCharacter, QString& characterName);

    // Exact ID; nullptr when it is none of the four.
    static const CharacterRow* byId(const QString& characterId);

    // Loads and shows the stored character ("Merlin" when none is stored).
    // On failure nothing is loaded and no item is checked.
    void loadStartCharacter(const QString& storedName);
    // The two start-up sentences, in English.
    void greetAtStart();
    // A Character menu item was chosen. A failed switch leaves the previous
    // character on screen and in the menu.
    void switchCharacter(const CharacterRow& row);
    // The eleven voice commands of the character's pop-up menu.
    void addVoiceCommands();
    // The character's notifications.
    void characterCommand(const AgentUserInput& input);
    void characterDoubleClicked();
    void characterIdle();
    // A translation starts: the character thinks over the source pane.
    void thinkOverSource();

private:
    // Shows a newly loaded character beside the source pane, waving, in American English.
    void present(AgentCharacter& character);
    // Glides to a point given in the window's client pixels.
    void moveTo(AgentCharacter& character, int clientX, int clientY);

    AgentControl& m_agent;
    CharacterHost& m_host;
    VoiceSelection& m_voices;
    AgentCharacter*& m_character;
    QString& m_characterName;
    // a switch waits for installers, which keep the window live
    bool m_switching = false;
};
