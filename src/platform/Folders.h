#pragma once

#include <QString>

// Where the program keeps its files on Linux. Paths have no trailing "/".
namespace Folders {

// $XDG_DATA_HOME, else ~/.local/share.
QString DataHome();
// The folder that stands for "windir": $windir when set, else
// $XDG_DATA_HOME/Brenmark/Windows. Not created here.
QString WindowsFolder();
// The common application-data folder, $XDG_DATA_HOME/Brenmark; created on
// first use. Every download of the program is kept there.
QString CommonDataFolder();
// Makes "windir" visible to the programs the application starts.
void ExportWindowsFolder();

}  // namespace Folders
