// Installing the optional components (the Agent core, the characters, the
// speech runtimes and engines). This build cannot fetch or install them: each
// operation says so, and the files the character and speech layers read must
// be put below the Windows folder by hand.
#include "TForm1.h"

#include "Folders.h"
#include "UserPrompts.h"

#include <QCoreApplication>

namespace {

void tell(const QString& text)
{
    UserPrompts::instance().message(text, UserPrompts::Kind::Information, QCoreApplication::applicationName());
}

void notAvailable(const QString& component)
{
    tell(component + QStringLiteral(" is not installed, and installing components is not available in this build."));
}

}  // namespace

void TForm1::Install1Click() { notAvailable(QStringLiteral("The Agent core")); }
void TForm1::InstallAgentPackage() { notAvailable(QStringLiteral("The Agent package")); }
void TForm1::Merlin1Click() { notAvailable(QStringLiteral("Merlin")); }
void TForm1::Genie1Click() { notAvailable(QStringLiteral("Genie")); }
void TForm1::Peedy1Click() { notAvailable(QStringLiteral("Peedy")); }
void TForm1::Robby1Click() { notAvailable(QStringLiteral("Robby")); }
void TForm1::N401Click() { notAvailable(QStringLiteral("The speech runtime 4.0")); }
void TForm1::N501Click() { notAvailable(QStringLiteral("The speech runtime 5.0")); }

void TForm1::InstallSpeechEngine(const QString& file)
{
    notAvailable(QStringLiteral("The text-to-speech engine \"%1\"").arg(file));
}

bool TForm1::SpeechEngineFetched(const QString& file) { return Folders::EntryExists(Folders::CommonDataFolder(), file); }

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

void TForm1::Installalloptionalcomponents1Click()
{
    tell(QStringLiteral("Installing components is not available in this build."));
}

void TForm1::RunStartupInstallRule() {}
