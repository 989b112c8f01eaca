#include "HistoryCommands.h"

#include "HistoryBrowser.h"
#include "HistoryWindow.h"
#include "InterfaceLanguage.h"
#include "MainWindow.h"

#include <QComboBox>
#include <QShortcut>
#include <QTextEdit>

HistoryCommands::HistoryCommands(MainWindow& form) : QObject(&form), m_form(form)
{
    // these keys exactly: the platform's Back sequence holds Backspace too, which edits the panes
    m_back = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), &form);
    m_forward = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Right), &form);
    connect(m_back, &QShortcut::activated, this, &HistoryCommands::back);
    connect(m_forward, &QShortcut::activated, this, &HistoryCommands::forward);
}

HistoryCommands::~HistoryCommands() = default;

HistoryWindow& HistoryCommands::ensureWindow()
{
    if (!m_window) {
        m_window =
            new HistoryWindow(History::defaultPath(), interfaceLanguageColumn(m_form.InterfaceLanguage), &m_form);
        connect(m_window, &HistoryWindow::restoreRequested, this, &HistoryCommands::restore);
        connect(&m_window->browser(), &HistoryBrowser::olderFound, this, &HistoryCommands::pageCame);
        connect(&m_window->browser(), &HistoryBrowser::removed, this, [this] { m_steps.reset(); });
    }
    return *m_window;
}

void HistoryCommands::open()
{
    HistoryWindow& window = ensureWindow();
    window.browser().refresh();
    window.show();
    window.raise();
    window.activateWindow();
}

void HistoryCommands::clear() { ensureWindow().clearAll(); }

void HistoryCommands::applyLanguage(int column)
{
    if (m_window)
        m_window->applyLanguage(column);
}

PaneContents HistoryCommands::panes() const
{
    return {m_form.sourcePane->toPlainText(), m_form.targetPane->toPlainText(), m_form.sourceList->currentIndex(),
            m_form.targetList->currentIndex()};
}

void HistoryCommands::show(const PaneContents& step)
{
    m_form.sourcePane->setPlainText(step.source);
    m_form.targetPane->setPlainText(step.translation);
    m_form.sourceList->setCurrentIndex(step.sourcePosition);
    m_form.targetList->setCurrentIndex(step.targetPosition);
}

void HistoryCommands::restore(const HistoryEntry& entry)
{
    if (m_form.translating())
        return;
    show(PaneContents::of(entry));
    m_form.activateWindow();
}

bool HistoryCommands::take(const std::optional<PaneContents>& step)
{
    if (!step)
        return false;
    show(*step);
    m_steps.settled(panes());
    return true;
}

void HistoryCommands::back()
{
    // a run under way writes into the panes
    if (m_form.translating())
        return;
    const PaneContents shown = panes();
    m_backWaiting = !take(m_steps.back(shown)) && m_steps.moreWanted();
    if (m_backWaiting) {
        m_waitingFrom = shown;
        fetch();
    }
}

void HistoryCommands::forward()
{
    m_backWaiting = false;
    if (!m_form.translating())
        take(m_steps.forward(panes()));
}

void HistoryCommands::fetch()
{
    ensureWindow().browser().fetchOlder(m_steps.oldestId(), m_steps.oldestTime(), HistorySteps::PageSize);
}

void HistoryCommands::pageCame(qint64 olderThanId, const QList<HistoryEntry>& page)
{
    m_steps.addOlder(olderThanId, page);
    // the step waited for is not taken over what the user did to the panes since
    if (m_backWaiting && panes() == m_waitingFrom)
        back();
    else
        m_backWaiting = false;
}
