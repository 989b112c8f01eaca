#pragma once

#include "SourceSuggestion.h"

#include <QFrame>

class QLabel;
class QPushButton;

// The bar above the panes that asks, without holding up the window, whether a
// text that looks written in another language is to be translated from it.
class SourceLanguageBar : public QFrame {
    Q_OBJECT
public:
    explicit SourceLanguageBar(QWidget* parent = nullptr);

    // Shows the question; the bar stays until one of its buttons is pressed.
    void ask(const SourceSuggestion::Question& question);
    const SourceSuggestion::Question& question() const { return m_question; }

    QPushButton* acceptButton() const { return m_accept; }
    QPushButton* keepButton() const { return m_keep; }

signals:
    void accepted(const SourceSuggestion::Question& question);
    void kept(const SourceSuggestion::Question& question);

private:
    SourceSuggestion::Question m_question;
    QLabel* m_text;
    QPushButton* m_accept;
    QPushButton* m_keep;
};
