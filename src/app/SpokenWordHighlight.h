#pragma once

#include "AgentCharacter.h"

#include <QObject>
#include <QPointer>

class QTextEdit;

// Shows in a pane the word being read aloud: a background colour over it, an
// extra selection, so the user's selection and the pane's text stay as they
// are. Once the pane is edited the words of what was taken before no longer
// show; the speech goes on.
class SpokenWordHighlight : public QObject {
    Q_OBJECT
public:
    explicit SpokenWordHighlight(QTextEdit* pane);

    // Follows the reading of the pane's text as it is now from `start` on.
    SpeechProgress follow(int start);

private:
    void showWord(quint64 reading, quint64 edits, int position, int length);
    void clear();

    QPointer<QTextEdit> m_pane;
    quint64 m_edits = 0;     // edits of the pane so far
    quint64 m_readings = 0;  // readings followed so far
    quint64 m_shown = 0;     // the reading whose word shows; 0: none
};
