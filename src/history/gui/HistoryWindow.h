#pragma once

#include "History.h"

#include <QHash>
#include <QIcon>
#include <QWidget>

class HistoryBrowser;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The history of translations in a window of its own beside the main one:
// newest first, searched as the user types, narrowed to a language pair.
// Enter or a double-click hands an entry back for the panes; Delete removes
// the chosen entries; "Clear history…" removes all after asking.
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    enum Column { TimeColumn, LanguagesColumn, SourceColumn, TranslationColumn, OriginColumn };

    // `path`: the history file; `column`: the interface language's column of the caption table.
    HistoryWindow(const QString& path, int column, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    HistoryBrowser& browser() { return *m_browser; }
    // Puts the interface language's texts on the window.
    void applyLanguage(int column);
    // Asks, then removes every entry.
    void clearAll();
    // The entries the list shows, in its order (their texts' beginnings).
    const QList<HistoryEntry>& entries() const { return m_entries; }

    QLineEdit* searchField() const { return m_search; }
    QComboBox* pairList() const { return m_pairs; }
    QTreeWidget* list() const { return m_list; }
    // What the window has to say: the history is unavailable, or not every match is shown.
    QString note() const;

signals:
    // The user chose this entry for the panes.
    void restoreRequested(const HistoryEntry& entry);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showEntries(const QList<HistoryEntry>& entries, bool more);
    void showPairs(const QList<std::pair<QString, QString>>& pairs);
    void choosePair();
    void restoreCurrent();
    void removeSelected();
    void showNote();
    QString originName(HistoryEntry::Origin origin) const;

    HistoryBrowser* m_browser;
    int m_column;
    QList<HistoryEntry> m_entries;
    QHash<QString, QIcon> m_icons;  // the pairs' flags, drawn once
    bool m_more = false;
    QString m_notice;
    bool m_notRemoved = false;
    QLineEdit* m_search;
    QComboBox* m_pairs;
    QTreeWidget* m_list;
    QLabel* m_searchLabel;
    QLabel* m_pairLabel;
    QLabel* m_note;
    QPushButton* m_restore;
    QPushButton* m_delete;
    QPushButton* m_clear;
};
