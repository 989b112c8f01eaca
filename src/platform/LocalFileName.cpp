#include "LocalFileName.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

QString LocalFileName::reachable(const QByteArray& name)
{
    const QString decoded = QFile::decodeName(name);
    struct stat info {};
    if (QFile::encodeName(decoded) == name || ::lstat(name.constData(), &info) != 0)
        return decoded;
    QByteArray target = name;
    if (!target.startsWith('/')) {
        char here[4096];
        if (!::getcwd(here, sizeof here))
            return decoded;
        target = QByteArray(here) + '/' + target;
    }
    // the links live as long as the program: a document is read again later (a second open)
    static std::unique_ptr<QTemporaryDir> links;
    static int count = 0;
    if (!links)
        links = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/linguaro-names-XXXXXX"));
    if (!links->isValid())
        return decoded;
    // a folder per name: two names may read alike once their stray bytes are replaced
    const QString folder = links->filePath(QString::number(++count));
    QString leaf = decoded.section(u'/', -1);
    if (leaf.isEmpty())
        leaf = QStringLiteral("file");
    const QString link = folder + u'/' + leaf;
    if (!QDir().mkdir(folder) || ::symlink(target.constData(), QFile::encodeName(link).constData()) != 0)
        return decoded;
    return link;
}
