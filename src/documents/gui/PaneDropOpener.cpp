#include "PaneDropOpener.h"

#include "LocalFileName.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

namespace {
// The first local file of a drag, or empty when it carries none.
QString droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        // the path's own bytes: a name in another encoding than UTF-8 still opens
        if (url.isLocalFile())
            return LocalFileName::reachable(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    }
    return {};
}
}  // namespace

PaneDropOpener::PaneDropOpener(QTextEdit* pane, Open open, std::function<bool()> mayOpen)
    : QObject(pane), m_open(std::move(open)), m_mayOpen(std::move(mayOpen))
{
    pane->viewport()->installEventFilter(this);
}

bool PaneDropOpener::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedFile(drag->mimeData()).isEmpty())
            return false;
        if (m_mayOpen())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = droppedFile(drop->mimeData());
        if (path.isEmpty())
            return false;
        if (!m_mayOpen()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        // opened after the drop has been answered: the open waits for downloads and converters
        QTimer::singleShot(0, this, [this, path] { m_open(path); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
