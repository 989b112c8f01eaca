#pragma once

#include <QString>

// Where the program keeps its files on Linux. Paths have no trailing "/".
namespace Folders {

// $XDG_DATA_HOME, else ~/.local/share.
QString dataHome();
// The folder that stands for "windir": $windir when set, else
// $XDG_DATA_HOME/Brenmark/Windows. Not created here.
QString windowsFolder();
// The common application-data folder, $XDG_DATA_HOME/Brenmark; created on
// first use. Every download of the program is kept there.
QString commonDataFolder();
// The path of the file or folder `name` inside `folder`, matched without
// regard to case as on the file system the program's folders come from
// ("Merlin.exe" downloaded and "merlin.exe" started are one file). An exact
// match wins; otherwise the first case-insensitive match in name order.
// Empty when there is none. `name` may hold several components ("msagent/chars/merlin.acs"),
// each matched in turn.
QString findEntry(const QString& folder, const QString& name);
// Whether FindEntry finds something.
bool entryExists(const QString& folder, const QString& name);
// Makes "windir" visible to the programs the application starts.
void exportWindowsFolder();

}  // namespace Folders
