// The Tools menu's optional components, and the installs that start-up, the character
// switch and read-aloud ask for: each handler hands its component to ComponentInstaller.
#include "TForm1.h"

#include "ComponentInstaller.h"
#include "ShellInstallerLauncher.h"
#include "TransferDownloads.h"

#include <QAction>

ComponentInstaller& TForm1::components()
{
    if (!m_components)
        m_components = std::make_unique<ComponentInstaller>(std::make_unique<TransferDownloads>(*Transfer1),
                                                            std::make_unique<ShellInstallerLauncher>());
    m_components->Version = VersionQuery;
    return *m_components;
}

void TForm1::wireComponents()
{
    const std::pair<QAction*, void (TForm1::*)()> items[] = {
        {Install1, &TForm1::install1Click},
        {Merlin1, &TForm1::merlin1Click},
        {Genie1, &TForm1::genie1Click},
        {Peedy1, &TForm1::peedy1Click},
        {Robby1, &TForm1::robby1Click},
        {N401, &TForm1::n401Click},
        {N501, &TForm1::n501Click},
        {USEnglish1, &TForm1::usEnglish1Click},
        {BritishEnglish1, &TForm1::britishEnglish1Click},
        {Dutch1, &TForm1::dutch1Click},
        {French1, &TForm1::french1Click},
        {German1, &TForm1::german1Click},
        {Italian1, &TForm1::italian1Click},
        {Japanese1, &TForm1::japanese1Click},
        {Korean1, &TForm1::korean1Click},
        {PortugueseBrazil1, &TForm1::portugueseBrazil1Click},
        {Russian1, &TForm1::russian1Click},
        {Spanish1, &TForm1::spanish1Click},
        {Installalloptionalcomponents1, &TForm1::installalloptionalcomponents1Click},
    };
    // downloads and installers wait with the window live: they run once the menu is done with its event
    for (const auto& [item, handler] : items) {
        item->setEnabled(true);
        connect(
            item, &QAction::triggered, this, [this, handler = handler] { runHandler([&] { (this->*handler)(); }); },
            Qt::QueuedConnection);
    }
}

void TForm1::runStartupInstallRule() { components().runStartupRule(StartCharacter); }

void TForm1::install1Click() { components().installAgentCore(); }
void TForm1::installAgentPackage() { components().installAgentPackage(); }
void TForm1::merlin1Click() { components().installCharacter(QStringLiteral("Merlin")); }
void TForm1::genie1Click() { components().installCharacter(QStringLiteral("Genie")); }
void TForm1::peedy1Click() { components().installCharacter(QStringLiteral("Peedy")); }
void TForm1::robby1Click() { components().installCharacter(QStringLiteral("Robby")); }
void TForm1::n401Click() { components().installSapi4(); }
void TForm1::n501Click() { components().installSapi5(); }
void TForm1::installSpeechEngine(const QString& file) { components().installSpeechEngine(file); }
bool TForm1::speechEngineFetched(const QString& file) { return components().speechEngineFetched(file); }
bool TForm1::isWow64() { return components().isWow64(); }
void TForm1::installalloptionalcomponents1Click() { components().installAll(); }

void TForm1::usEnglish1Click() { installSpeechEngine(QStringLiteral("tv_enua.exe")); }
void TForm1::britishEnglish1Click() { installSpeechEngine(QStringLiteral("lhttseng.exe")); }
void TForm1::dutch1Click() { installSpeechEngine(QStringLiteral("lhttsdun.exe")); }
void TForm1::french1Click() { installSpeechEngine(QStringLiteral("lhttsfrf.exe")); }
void TForm1::german1Click() { installSpeechEngine(QStringLiteral("lhttsged.exe")); }
void TForm1::italian1Click() { installSpeechEngine(QStringLiteral("lhttsiti.exe")); }
void TForm1::japanese1Click() { installSpeechEngine(QStringLiteral("lhttsjpj.exe")); }
void TForm1::korean1Click() { installSpeechEngine(QStringLiteral("lhttskok.exe")); }
void TForm1::portugueseBrazil1Click() { installSpeechEngine(QStringLiteral("lhttsptb.exe")); }
void TForm1::russian1Click() { installSpeechEngine(QStringLiteral("lhttsrur.exe")); }
void TForm1::spanish1Click() { installSpeechEngine(QStringLiteral("lhttsspe.exe")); }
