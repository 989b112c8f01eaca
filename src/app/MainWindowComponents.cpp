// The Tools menu's optional components, and the installs that start-up, the character
// switch and read-aloud ask for: each handler hands its component to ComponentInstaller.
#include "MainWindow.h"

#include "ComponentInstaller.h"
#include "ShellInstallerLauncher.h"
#include "TransferDownloads.h"

#include <QAction>

ComponentInstaller& MainWindow::components()
{
    if (!m_components)
        m_components = std::make_unique<ComponentInstaller>(std::make_unique<TransferDownloads>(*transfer),
                                                            std::make_unique<ShellInstallerLauncher>());
    m_components->Version = VersionQuery;
    return *m_components;
}

void MainWindow::wireComponents()
{
    const std::pair<QAction*, void (MainWindow::*)()> items[] = {
        {installAgentItem, &MainWindow::installAgent},
        {installMerlinItem, &MainWindow::installMerlin},
        {installGenieItem, &MainWindow::installGenie},
        {installPeedyItem, &MainWindow::installPeedy},
        {installRobbyItem, &MainWindow::installRobby},
        {installSapi4Item, &MainWindow::installSapi4},
        {installSapi5Item, &MainWindow::installSapi5},
        {americanEnglishEngineItem, &MainWindow::installAmericanEnglishEngine},
        {britishEnglishEngineItem, &MainWindow::installBritishEnglishEngine},
        {dutchEngineItem, &MainWindow::installDutchEngine},
        {frenchEngineItem, &MainWindow::installFrenchEngine},
        {germanEngineItem, &MainWindow::installGermanEngine},
        {italianEngineItem, &MainWindow::installItalianEngine},
        {japaneseEngineItem, &MainWindow::installJapaneseEngine},
        {koreanEngineItem, &MainWindow::installKoreanEngine},
        {portugueseEngineItem, &MainWindow::installPortugueseEngine},
        {russianEngineItem, &MainWindow::installRussianEngine},
        {spanishEngineItem, &MainWindow::installSpanishEngine},
        {installAllItem, &MainWindow::installAllComponents},
    };
    // downloads and installers wait with the window live: they run once the menu is done with its event
    for (const auto& [item, handler] : items) {
        item->setEnabled(true);
        connect(
            item, &QAction::triggered, this, [this, handler = handler] { runHandler([&] { (this->*handler)(); }); },
            Qt::QueuedConnection);
    }
}

void MainWindow::runStartupInstallRule() { components().runStartupRule(StartCharacter); }

void MainWindow::installAgent() { components().installAgentCore(); }
void MainWindow::installAgentPackage() { components().installAgentPackage(); }
void MainWindow::installMerlin() { components().installCharacter(QStringLiteral("Merlin")); }
void MainWindow::installGenie() { components().installCharacter(QStringLiteral("Genie")); }
void MainWindow::installPeedy() { components().installCharacter(QStringLiteral("Peedy")); }
void MainWindow::installRobby() { components().installCharacter(QStringLiteral("Robby")); }
void MainWindow::installSapi4() { components().installSapi4(); }
void MainWindow::installSapi5() { components().installSapi5(); }
void MainWindow::installSpeechEngine(const QString& file) { components().installSpeechEngine(file); }
bool MainWindow::speechEngineFetched(const QString& file) { return components().speechEngineFetched(file); }
bool MainWindow::isWow64() { return components().isWow64(); }
void MainWindow::installAllComponents() { components().installAll(); }

void MainWindow::installAmericanEnglishEngine() { installSpeechEngine(QStringLiteral("tv_enua.exe")); }
void MainWindow::installBritishEnglishEngine() { installSpeechEngine(QStringLiteral("lhttseng.exe")); }
void MainWindow::installDutchEngine() { installSpeechEngine(QStringLiteral("lhttsdun.exe")); }
void MainWindow::installFrenchEngine() { installSpeechEngine(QStringLiteral("lhttsfrf.exe")); }
void MainWindow::installGermanEngine() { installSpeechEngine(QStringLiteral("lhttsged.exe")); }
void MainWindow::installItalianEngine() { installSpeechEngine(QStringLiteral("lhttsiti.exe")); }
void MainWindow::installJapaneseEngine() { installSpeechEngine(QStringLiteral("lhttsjpj.exe")); }
void MainWindow::installKoreanEngine() { installSpeechEngine(QStringLiteral("lhttskok.exe")); }
void MainWindow::installPortugueseEngine() { installSpeechEngine(QStringLiteral("lhttsptb.exe")); }
void MainWindow::installRussianEngine() { installSpeechEngine(QStringLiteral("lhttsrur.exe")); }
void MainWindow::installSpanishEngine() { installSpeechEngine(QStringLiteral("lhttsspe.exe")); }
