#pragma once

#include <QObject>
#include <QPointer>
#include <QTextCharFormat>

#include <vector>

class QAbstractButton;
class QAction;
class QActionGroup;
class QTextEdit;
class QToolButton;
class QWidget;

// The standard editing and formatting commands of the two panes. They act on the pane that last
// had the focus; the format commands check themselves to reflect its selection; cut and copy are
// enabled only while there is a selection, paste while the clipboard holds text, undo while
// there is something to undo.
class PaneEditing : public QObject {
    Q_OBJECT
public:
    enum class Command { Cut, Copy, Paste, SelectAll, Undo };

    // The actions belong to the window; the owner destroys this object before the panes.
    PaneEditing(QTextEdit* source, QTextEdit* target, QWidget* window);

    // The formatting actions, with their captions and shortcuts; checkable.
    QAction* boldAction;
    QAction* italicAction;
    QAction* underlineAction;
    QAction* bulletsAction;
    QAction* alignLeftAction;
    QAction* alignRightAction;
    QAction* alignCenterAction;

    // A menu item or button that runs an editing command and follows its enabled state.
    void bind(QAction* item, Command command);
    void bind(QAbstractButton* button, Command command);
    // A toolbar button that runs one of the formatting actions and shows its checked state.
    static void showOn(QToolButton* button, QAction* action);

    QTextEdit* activePane() const { return m_active; }
    void run(Command command);

private:
    QAction* formatAction(const char* name, const QString& caption, const QKeySequence& keys);
    void setActivePane(QTextEdit* pane);
    void mergeFormat(const QTextCharFormat& format);
    void setBullets(bool on);
    void setAlignment(Qt::Alignment alignment);
    void updateFormatChecks();
    void updateSelectionCommands();

    QTextEdit* m_source;
    QTextEdit* m_target;
    QTextEdit* m_active;
    QWidget* m_window;
    QActionGroup* m_alignments;
    struct Binding {
        QPointer<QObject> item;
        Command command;
    };
    std::vector<Binding> m_bindings;
};
