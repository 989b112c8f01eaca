#pragma once

#include "PaneSearch.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The Find and Replace dialogs: modeless, like the desktop's standard ones. They only collect
// the search text and options and say which button was pressed; the window does the searching.
class SearchDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Find, Replace };

    SearchDialog(Mode mode, QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }
    QString findText() const;
    void setFindText(const QString& text);
    QString replaceText() const;
    void setReplaceText(const QString& text);
    PaneSearch::Options options() const;
    void setOptions(PaneSearch::Options options);

    QPushButton* findNextButton() const { return m_findNext; }
    QPushButton* replaceButton() const { return m_replace; }
    QPushButton* replaceAllButton() const { return m_replaceAll; }

signals:
    void findNext();
    void replaceOne();
    void replaceAll();

private:
    void updateButtons();

    Mode m_mode;
    QLineEdit* m_find = nullptr;
    QLineEdit* m_replacement = nullptr;
    QCheckBox* m_wholeWord = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QPushButton* m_findNext = nullptr;
    QPushButton* m_replace = nullptr;
    QPushButton* m_replaceAll = nullptr;
};
