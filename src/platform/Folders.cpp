#include "Folders.h"

#include <QDir>

namespace Folders {

QString DataHome()
{
    // relative paths in XDG variables are to be ignored
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QString WindowsFolder()
{
    const QString windir = qEnvironmentVariable("windir");
    if (!windir.isEmpty())
        return QDir::cleanPath(windir);
    return DataHome() + QStringLiteral("/Brenmark/Windows");
}

QString CommonDataFolder()
{
    const QString folder = DataHome() + QStringLiteral("/Brenmark");
    QDir().mkpath(folder);
    return folder;
}

void ExportWindowsFolder()
{
    qputenv("windir", WindowsFolder().toUtf8());
}

}  // namespace Folders
