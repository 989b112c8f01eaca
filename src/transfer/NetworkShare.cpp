#include "NetworkShare.h"

#include "Shell.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace {
// Longest wait for the desktop's mount tool; the transfer's worker waits, not the window.
constexpr int GioSeconds = 30;

bool runGio(const QStringList& arguments, const QByteArray& input)
{
    Shell::Limits limits;
    limits.timeoutMs = GioSeconds * 1000;
    const Shell::Outcome ended =
        Shell::runCaptured(QStringLiteral("gio"), arguments, Shell::Capture::Merged, limits, input);
    return ended.finished() && ended.exitCode == 0;
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
