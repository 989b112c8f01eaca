#pragma once

#include "HistorySteps.h"

#include <QObject>

class HistoryBrowser;
class HistoryWindow;
class QShortcut;
class MainWindow;

// The main window's side of the history: the History window, which puts a
// chosen entry back into the panes with its languages, clearing the history,
// and Alt+Left / Alt+Right, which step back and forward through it as a
// browser does (the steps' browser is the window's, made on first use).
class HistoryCommands : public QObject {
    Q_OBJECT
public:
    explicit HistoryCommands(MainWindow& form);
    ~HistoryCommands() override;

    // Shows the window, made on first use.
    void open();
    // Asks, then removes every entry.
    void clear();
    void back();
    void forward();
    // The interface language's column changed.
    void applyLanguage(int column);
    // The window; null until first opened or asked for.
    HistoryWindow* window() const { return m_window; }

private:
    HistoryWindow& ensureWindow();
    PaneContents panes() const;
    void show(const PaneContents& step);
    // Shows the step, if any; false when there was none.
    bool take(const std::optional<PaneContents>& step);
    void restore(const HistoryEntry& entry);
    void pageCame(qint64 olderThanId, const QList<HistoryEntry>& page);
    void fetch();

    MainWindow& m_form;
    HistoryWindow* m_window = nullptr;  // a child of the main window
    HistorySteps m_steps;
    // a step back waits for the page it needs
    bool m_backWaiting = false;
    PaneContents m_waitingFrom;  // the panes when it was asked for
    QShortcut* m_back;
    QShortcut* m_forward;
};
