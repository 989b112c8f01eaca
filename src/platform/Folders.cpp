#include "Folders.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace Folders {

QString dataHome()
{
    // relative paths in XDG variables are to be ignored
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QString windowsFolder()
{
    const QString windir = qEnvironmentVariable("windir");
    if (!windir.isEmpty())
        return QDir::cleanPath(windir);
    return dataHome() + QStringLiteral("/Brenmark/Windows");
}

QString commonDataFolder()
{
    const QString folder = dataHome() + QStringLiteral("/Brenmark");
    QDir().mkpath(folder);
    return folder;
}

QString findEntry(const QString& folder, const QString& name)
{
    const QStringList parts = name.split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return {};
    QString path = QDir::cleanPath(folder);
    for (const QString& part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return {};
        const QString exact = path + u'/' + part;
        if (QFileInfo::exists(exact) || QFileInfo(exact).isSymLink()) {
            path = exact;
            continue;
        }
        const QStringList entries =
            QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        auto match = std::find_if(entries.begin(), entries.end(),
                                  [&](const QString& entry) { return entry.compare(part, Qt::CaseInsensitive) == 0; });
        if (match == entries.end())
            return {};
        path += u'/' + *match;
    }
    return path;
}

bool entryExists(const QString& folder, const QString& name) { return !findEntry(folder, name).isEmpty(); }

void exportWindowsFolder() { qputenv("windir", windowsFolder().toUtf8()); }

}  // namespace Folders
