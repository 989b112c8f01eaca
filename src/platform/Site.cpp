#include "Site.h"

#include <QCoreApplication>
#include <QUrl>

namespace Site {

QString root()
{
    QString root = qEnvironmentVariable("LINGUARO_SITE_URL").trimmed();
    if (root.isEmpty()) {
        // percent-encoded, so a folder with blanks or non-ASCII letters still makes one address
        root = QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/site"))
                   .toString(QUrl::FullyEncoded);
    }
    if (!root.endsWith(u'/'))
        root += u'/';
    return root;
}

QString address(const QString& name) { return root() + name; }

}  // namespace Site
