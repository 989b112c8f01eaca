#include "WindowRequests.h"

#include "DocumentLoadJob.h"
#include "DocumentOpening.h"
#include "PaneDocument.h"
#include "SourcePane.h"
#include "MainWindow.h"
#include "TranslationOptions.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTextEdit>
#include <QTimer>

WindowRequests::WindowRequests(MainWindow& form) : QObject(&form), m_form(form) {}

void WindowRequests::bringToFront()
{
    m_form.show();
    m_form.setWindowState((m_form.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_form.raise();
    m_form.activateWindow();
}

QString WindowRequests::selectedText()
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
    // a translation or an open under way would mix its text with the selection's
    if (m_queued || m_form.translating() || m_form.opening().busy())
        return Selection::Busy;
    bringToFront();
    const QString text = selectedText();
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
        if (m_form.translating() || m_form.opening().busy())
            return;
        // a long selection is laid out apart, as a long document is, so the window goes on painting
        const DocumentOpening::Pane source = sourcePane(m_form.sourcePane);
        const auto translate = [this] {
            m_form.targetPane->clear();
            m_form.translateOrStop();
        };
        if (text.size() < DocumentLoadJob::LongText) {
            PaneDocument::setPlainText(source.document(), text);
            translate();
            return;
        }
        m_queued = true;
        PaneDocument::buildPlainText(text, source.document(), this,
                                     [this, source, translate](std::unique_ptr<QTextDocument> built) {
                                         m_queued = false;
                                         source.adopt(std::move(built));
                                         translate();
                                     });
    });
    return Selection::Started;
}

ProxySettings WindowRequests::proxy() const { return m_form.options().proxy; }

bool WindowRequests::serbianCyrillic() const { return m_form.options().serbianCyrillic(); }

bool WindowRequests::keepHistory() const { return m_form.options().keepHistory(); }
bool WindowRequests::reuseTranslations() const { return m_form.options().reuseTranslations(); }

void WindowRequests::historyNotice(const QString& text) { m_form.setStatus(text, false); }
