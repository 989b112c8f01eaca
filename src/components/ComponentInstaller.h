#pragma once

#include "ComponentDownloads.h"
#include "InstallerLauncher.h"
#include "WindowsVersion.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// The optional components the character and read-aloud need: the Agent core (or its
// package on Windows 7), the four characters, the speech runtimes and a speech engine per
// voice language. Each operation tests whether its component is there, else fetches its
// installer into the data folder D and starts it from there. The core and the characters
// count as installed by their files below the Windows folder W; the 5.x runtime and the
// engines as soon as their installer is in D. Names in W and D are matched without regard
// to case. Only a whole download is ever started, and an installer that fails is reported
// and removed from D, so the next try fetches it again.
class ComponentInstaller {
public:
    enum class Outcome {
        Present,    // installed already; its message, where it has one, was shown
        NotNeeded,  // nothing to install on this version, or nothing to install it with
        Installed,  // the installer ran and ended well
        Failed,     // the user was told why
        Cancelled,  // the user cancelled the download
    };

    // Messages the operations show.
    static const QString AgentCorePresent;                 // "Microsoft Agent Core Component is already installed."
    static const QString Sapi5Present;                     // "SAPI 5.x is already installed!"
    static const QString EnginePresent;                    // "This component is already installed!"
    static QString characterPresent(const QString& name);  // "Merlin is already installed!"

    // The four characters, and the engine installers in the order "install all" takes them.
    static const QStringList Characters;
    static const QStringList AllEngines;

    // Where the installers come from: the maker's site for the Agent core and its packages,
    // the runtime 4.0 and the engines; LINGUARO_CHARACTERS_URL for the characters and
    // LINGUARO_SAPI5_URL for the runtime 5.x, each the maker's site when unset. End in "/".
    static QString makerSite();
    static QString characterSite();
    static QString sapi5Site();

    ComponentInstaller(std::unique_ptr<ComponentDownloads> downloads, std::unique_ptr<InstallerLauncher> launcher);
    ~ComponentInstaller();

    // The Windows version in force; the window sets it once it knows it.
    WindowsVersion::Query Version;

    Outcome installAgentCore();
    Outcome installAgentPackage();
    Outcome installCharacter(const QString& name);
    Outcome installSapi4();
    Outcome installSapi5();
    Outcome installSpeechEngine(const QString& file);
    // Whether the engine's installer is in D.
    bool speechEngineFetched(const QString& file) const;
    // A 32-bit process on 64-bit Windows ("wow64" in LINGUARO_WINVER; never on Linux itself).
    bool isWow64() const;

    // The Agent core, the runtime 4.0, the four characters, then the eleven engines. A
    // failure or a cancel ends the sequence, and the user is told the rest was not installed.
    void installAll();
    // What start-up installs before loading the character: the Agent (its package above
    // Windows 6.0, else the core when W/msagent is missing), the start character when its
    // file is missing, the runtime 4.0 when W/speech/speech.dll is missing. Nothing where
    // the Agent is not used. A failure or a cancel ends it.
    void runStartupRule(const QString& startCharacter);

    // An operation is under way (its waits keep the window live); another one is refused.
    bool busy() const { return m_busy; }

private:
    struct Result {
        Outcome outcome = Outcome::Installed;
        QString message;  // to show: "already installed", or why it failed
    };
    // How one installer is fetched and started.
    struct Installer {
        QString address;     // where it is downloaded from
        QString startName;   // the name it is started under in D
        QString parameters;  // "/Q:A", or none
        bool reuse = false;  // not fetched again while it is in D
    };

    Result agentCore();
    Result agentPackage();
    Result character(const QString& name);
    Result sapi4();
    Result sapi5();
    Result engine(const QString& file);
    Result fetchAndStart(const Installer& installer);
    Result start(const QString& program, const QString& parameters, const QString& fetched);

    // Runs one operation, refused while another is under way, and shows its message.
    Outcome run(const std::function<Result()>& operation);
    static void show(const Result& result);

    std::unique_ptr<ComponentDownloads> m_downloads;
    std::unique_ptr<InstallerLauncher> m_launcher;
    bool m_busy = false;
};
