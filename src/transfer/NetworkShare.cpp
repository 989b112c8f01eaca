#include "NetworkShare.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace {
// Longest wait for the desktop's mount tool; the window stays live meanwhile.
constexpr int GioSeconds = 30;

bool runGio(const QStringList& arguments, const QByteArray& input)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(gio, arguments);
    if (!process.waitForStarted())
        return false;
    process.write(input);
    process.closeWriteChannel();
    // the run's worker thread waits here; the window is not held up by it
    if (!process.waitForFinished(GioSeconds * 1000) && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
}  // namespace

NetworkShare::NetworkShare(const QString& name) : m_name(name)
{
    QString n = name;
    n.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (n.startsWith(QLatin1String("smb://"), Qt::CaseInsensitive))
        m_uri = n;
    else if (n.startsWith(QLatin1String("//")))
        m_uri = QLatin1String("smb:") + n;
    while (m_uri.endsWith(QLatin1Char('/')))
        m_uri.chop(1);
}

QString NetworkShare::localPath() const
{
    if (m_uri.isEmpty())
        return m_name;
    // The desktop's virtual file system shows a mounted share under the user's runtime folder.
    const QStringList parts = m_uri.mid(6).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return QString();
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        runtime = QStringLiteral("/run/user/") + QString::number(getuid());
    QString path = runtime + QStringLiteral("/gvfs/smb-share:server=") + parts[0].toLower() + QStringLiteral(",share=")
                   + parts[1].toLower();
    for (qsizetype i = 2; i < parts.size(); ++i)
        path += QLatin1Char('/') + parts[i];
    return path;
}

bool NetworkShare::connect(const QString& user, const QString& password)
{
    if (m_uri.isEmpty())
        return QFileInfo(m_name).isDir();
    if (user.isEmpty() && password.isEmpty())
        return runGio({QStringLiteral("mount"), QStringLiteral("-a"), m_uri}, QByteArray());
    // gio asks for the user name, the domain and the password, in that order.
    const QByteArray answers = user.toUtf8() + "\n\n" + password.toUtf8() + "\n";
    return runGio({QStringLiteral("mount"), m_uri}, answers);
}

bool NetworkShare::disconnect()
{
    if (m_uri.isEmpty())
        return true;
    return runGio({QStringLiteral("mount"), QStringLiteral("-u"), QStringLiteral("-f"), m_uri}, QByteArray());
}
