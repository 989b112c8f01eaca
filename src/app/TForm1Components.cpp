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
        {Install1, &TForm1::Install1Click},
        {Merlin1, &TForm1::Merlin1Click},
        {Genie1, &TForm1::Genie1Click},
        {Peedy1, &TForm1::Peedy1Click},
        {Robby1, &TForm1::Robby1Click},
        {N401, &TForm1::N401Click},
        {N501, &TForm1::N501Click},
        {USEnglish1, &TForm1::USEnglish1Click},
        {BritishEnglish1, &TForm1::BritishEnglish1Click},
        {Dutch1, &TForm1::Dutch1Click},
        {French1, &TForm1::French1Click},
        {German1, &TForm1::German1Click},
        {Italian1, &TForm1::Italian1Click},
        {Japanese1, &TForm1::Japanese1Click},
        {Korean1, &TForm1::Korean1Click},
        {PortugueseBrazil1, &TForm1::PortugueseBrazil1Click},
        {Russian1, &TForm1::Russian1Click},
        {Spanish1, &TForm1::Spanish1Click},
        {Installalloptionalcomponents1, &TForm1::Installalloptionalcomponents1Click},
    };
    // downloads and installers wait with the window live: they run once the menu is done with its event
    for (const auto& [item, handler] : items) {
        item->setEnabled(true);
        connect(
            item, &QAction::triggered, this, [this, handler = handler] { RunHandler([&] { (this->*handler)(); }); },
            Qt::QueuedConnection);
    }
}

void TForm1::RunStartupInstallRule() { components().RunStartupRule(StartCharacter); }

void TForm1::Install1Click() { components().InstallAgentCore(); }
void TForm1::InstallAgentPackage() { components().InstallAgentPackage(); }
void TForm1::Merlin1Click() { components().InstallCharacter(QStringLiteral("Merlin")); }
void TForm1::Genie1Click() { components().InstallCharacter(QStringLiteral("Genie")); }
void TForm1::Peedy1Click() { components().InstallCharacter(QStringLiteral("Peedy")); }
void TForm1::Robby1Click() { components().InstallCharacter(QStringLiteral("Robby")); }
void TForm1::N401Click() { components().InstallSapi4(); }
void TForm1::N501Click() { components().InstallSapi5(); }
void TForm1::InstallSpeechEngine(const QString& file) { components().InstallSpeechEngine(file); }
bool TForm1::SpeechEngineFetched(const QString& file) { return components().SpeechEngineFetched(file); }
bool TForm1::IsWow64() { return components().IsWow64(); }
void TForm1::Installalloptionalcomponents1Click() { components().InstallAll(); }

void TForm1::USEnglish1Click() { InstallSpeechEngine(QStringLiteral("tv_enua.exe")); }
void TForm1::BritishEnglish1Click() { InstallSpeechEngine(QStringLiteral("lhttseng.exe")); }
void TForm1::Dutch1Click() { InstallSpeechEngine(QStringLiteral("lhttsdun.exe")); }
void TForm1::French1Click() { InstallSpeechEngine(QStringLiteral("lhttsfrf.exe")); }
void TForm1::German1Click() { InstallSpeechEngine(QStringLiteral("lhttsged.exe")); }
void TForm1::Italian1Click() { InstallSpeechEngine(QStringLiteral("lhttsiti.exe")); }
void TForm1::Japanese1Click() { InstallSpeechEngine(QStringLiteral("lhttsjpj.exe")); }
void TForm1::Korean1Click() { InstallSpeechEngine(QStringLiteral("lhttskok.exe")); }
void TForm1::PortugueseBrazil1Click() { InstallSpeechEngine(QStringLiteral("lhttsptb.exe")); }
void TForm1::Russian1Click() { InstallSpeechEngine(QStringLiteral("lhttsrur.exe")); }
void TForm1::Spanish1Click() { InstallSpeechEngine(QStringLiteral("lhttsspe.exe")); }
