#include "PaneEditing.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextList>
#include <QToolButton>

PaneEditing::PaneEditing(QTextEdit* source, QTextEdit* target, QWidget* window)
    : m_source(source), m_target(target), m_active(source), m_window(window)
{
    boldAction = formatAction("RichEditBold1", QStringLiteral("Gra&s"), QKeySequence(QStringLiteral("Ctrl+B")));
    italicAction = formatAction("RichEditItalic1", QStringLiteral("&Italique"), QKeySequence(QStringLiteral("Ctrl+I")));
    underlineAction =
        formatAction("RichEditUnderline1", QString::fromUtf8("S&ouligné"), QKeySequence(QStringLiteral("Ctrl+U")));
    bulletsAction = formatAction("RichEditBullets1", QStringLiteral("&Puces"), {});
    alignLeftAction = formatAction("RichEditAlignLeft1", QString::fromUtf8("Aligner à gau&che"), {});
    alignRightAction = formatAction("RichEditAlignRight1", QString::fromUtf8("Aligner à &droite"), {});
    alignCenterAction = formatAction("RichEditAlignCenter1", QStringLiteral("&Centrer"), {});
    m_alignments = new QActionGroup(this);
    for (QAction* action : {alignLeftAction, alignRightAction, alignCenterAction})
        m_alignments->addAction(action);
    alignLeftAction->setChecked(true);

    connect(boldAction, &QAction::triggered, this, [this](bool on) {
        QTextCharFormat format;
        format.setFontWeight(on ? QFont::Bold : QFont::Normal);
        mergeFormat(format);
    });
    connect(italicAction, &QAction::triggered, this, [this](bool on) {
        QTextCharFormat format;
        format.setFontItalic(on);
        mergeFormat(format);
    });
    connect(underlineAction, &QAction::triggered, this, [this](bool on) {
        QTextCharFormat format;
        format.setFontUnderline(on);
        mergeFormat(format);
    });
    connect(bulletsAction, &QAction::triggered, this, &PaneEditing::setBullets);
    connect(alignLeftAction, &QAction::triggered, this, [this] { setAlignment(Qt::AlignLeft); });
    connect(alignRightAction, &QAction::triggered, this, [this] { setAlignment(Qt::AlignRight); });
    connect(alignCenterAction, &QAction::triggered, this, [this] { setAlignment(Qt::AlignHCenter); });

    for (QTextEdit* pane : {m_source, m_target}) {
        connect(pane, &QTextEdit::cursorPositionChanged, this, [this, pane] {
            if (pane == m_active)
                updateFormatChecks();
        });
        connect(pane, &QTextEdit::currentCharFormatChanged, this, [this, pane] {
            if (pane == m_active)
                updateFormatChecks();
        });
        for (auto signal : {&QTextEdit::copyAvailable, &QTextEdit::undoAvailable})
            connect(pane, signal, this, [this, pane] {
                if (pane == m_active)
                    updateSelectionCommands();
            });
    }
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &PaneEditing::updateSelectionCommands);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == m_source || now == m_target)
            setActivePane(static_cast<QTextEdit*>(now));
    });
}

QAction* PaneEditing::formatAction(const char* name, const QString& caption, const QKeySequence& keys)
{
    auto* action = new QAction(caption, m_window);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    action->setCheckable(true);
    m_window->addAction(action);
    return action;
}

void PaneEditing::bind(QAction* item, Command command)
{
    connect(item, &QAction::triggered, this, [this, command] { run(command); });
    m_bindings.push_back({item, command});
    updateSelectionCommands();
}

void PaneEditing::bind(QAbstractButton* button, Command command)
{
    connect(button, &QAbstractButton::clicked, this, [this, command] { run(command); });
    m_bindings.push_back({button, command});
    updateSelectionCommands();
}

void PaneEditing::showOn(QToolButton* button, QAction* action)
{
    // wired by hand rather than as the button's default action, which would replace the
    // button's own tooltip (set per interface language) whenever the action changes
    button->setCheckable(action->isCheckable());
    button->setChecked(action->isChecked());
    button->setEnabled(action->isEnabled());
    connect(button, &QToolButton::clicked, action, [button, action] {
        action->trigger();
        button->setChecked(action->isChecked());
    });
    connect(action, &QAction::changed, button, [button, action] {
        button->setChecked(action->isChecked());
        button->setEnabled(action->isEnabled());
    });
}

void PaneEditing::run(Command command)
{
    switch (command) {
    case Command::Cut:
        m_active->cut();
        break;
    case Command::Copy:
        m_active->copy();
        break;
    case Command::Paste:
        m_active->paste();
        break;
    case Command::SelectAll:
        m_active->selectAll();
        break;
    case Command::Undo:
        m_active->undo();
        break;
    }
}

void PaneEditing::setActivePane(QTextEdit* pane)
{
    if (m_active == pane)
        return;
    m_active = pane;
    updateFormatChecks();
    updateSelectionCommands();
}

void PaneEditing::mergeFormat(const QTextCharFormat& format) { m_active->mergeCurrentCharFormat(format); }

void PaneEditing::setBullets(bool on)
{
    QTextCursor cursor = m_active->textCursor();
    cursor.beginEditBlock();
    if (on) {
        QTextListFormat format;
        format.setStyle(QTextListFormat::ListDisc);
        format.setIndent(1);
        cursor.createList(format);
    } else {
        // take every paragraph of the selection out of its list
        QTextDocument* document = m_active->document();
        QTextBlock block = document->findBlock(cursor.selectionStart());
        const QTextBlock last = document->findBlock(cursor.selectionEnd());
        while (block.isValid()) {
            if (QTextList* list = block.textList()) {
                list->remove(block);
                QTextCursor at(block);
                QTextBlockFormat plain = block.blockFormat();
                plain.setIndent(0);
                at.setBlockFormat(plain);
            }
            if (block == last)
                break;
            block = block.next();
        }
    }
    cursor.endEditBlock();
    updateFormatChecks();
}

void PaneEditing::setAlignment(Qt::Alignment alignment)
{
    m_active->setAlignment(alignment);
    updateFormatChecks();
}

void PaneEditing::updateFormatChecks()
{
    const QTextCharFormat format = m_active->currentCharFormat();
    const QFont font = format.font().resolve(m_active->document()->defaultFont());
    boldAction->setChecked(font.bold());
    italicAction->setChecked(font.italic());
    underlineAction->setChecked(font.underline());
    const QTextCursor cursor = m_active->textCursor();
    bulletsAction->setChecked(cursor.currentList() != nullptr);
    const Qt::Alignment alignment = cursor.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
    if (alignment == Qt::AlignRight)
        alignRightAction->setChecked(true);
    else if (alignment == Qt::AlignHCenter)
        alignCenterAction->setChecked(true);
    else
        alignLeftAction->setChecked(true);
}

void PaneEditing::updateSelectionCommands()
{
    // as the desktop's standard actions: cut and copy need a selection, paste something to
    // paste, undo something to undo
    const bool selection = m_active->textCursor().hasSelection();
    const bool canPaste = m_active->canPaste();
    const bool canUndo = m_active->document()->isUndoAvailable();
    for (const Binding& binding : m_bindings) {
        bool enabled = true;
        switch (binding.command) {
        case Command::Cut:
        case Command::Copy:
            enabled = selection;
            break;
        case Command::Paste:
            enabled = canPaste;
            break;
        case Command::Undo:
            enabled = canUndo;
            break;
        case Command::SelectAll:
            break;
        }
        if (auto* action = qobject_cast<QAction*>(binding.item.data()))
            action->setEnabled(enabled);
        else if (auto* widget = qobject_cast<QWidget*>(binding.item.data()))
            widget->setEnabled(enabled);
    }
}
