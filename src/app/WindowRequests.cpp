#include "WindowRequests.h"

#include "TForm1.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTextEdit>
#include <QTimer>

WindowRequests::WindowRequests(TForm1& form) : QObject(&form), m_form(form) {}

void WindowRequests::bringToFront()
{
    m_form.show();
    m_form.setWindowState((m_form.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_form.raise();
    m_form.activateWindow();
}

QString WindowRequests::SelectedText()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection()) {
        const QString selected = clipboard->text(QClipboard::Selection);
        if (!selected.trimmed().isEmpty())
            return selected;
    }
    return clipboard->text(QClipboard::Clipboard);
}

BusWindow::Selection WindowRequests::translateSelection()
{
    if (m_queued || m_form.translating())
        return Selection::Busy;
    bringToFront();
    const QString text = SelectedText();
    if (text.trimmed().isEmpty()) {
        m_form.setStatus(NothingSelected, false);
        return Selection::Empty;
    }
    // The caller has its answer before the text is laid out and translated,
    // which takes a while for a long selection. The window then shows just the
    // selection and its translation.
    m_queued = true;
    QTimer::singleShot(0, this, [this, text] {
        m_queued = false;
        if (m_form.translating())
            return;
        m_form.RichEdit1->setPlainText(text);
        m_form.RichEdit2->clear();
        m_form.ToolButton20Click();
    });
    return Selection::Started;
}

ProxySettings WindowRequests::proxy() const { return m_form.Proxy; }
