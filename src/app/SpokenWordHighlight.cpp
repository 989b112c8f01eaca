#include "SpokenWordHighlight.h"

#include <QTextEdit>

#include <algorithm>

SpokenWordHighlight::SpokenWordHighlight(QTextEdit* pane) : QObject(pane), m_pane(pane)
{
    connect(pane->document(), &QTextDocument::contentsChange, this, [this] {
        ++m_edits;
        clear();
    });
}

SpeechProgress SpokenWordHighlight::follow(int start)
{
    QPointer<SpokenWordHighlight> self(this);
    const quint64 reading = ++m_readings;
    const quint64 edits = m_edits;
    return {[self, reading, edits, start](int position, int length) {
                if (self)
                    self->showWord(reading, edits, start + position, length);
            },
            [self, reading] {
                // the last word stays until its reading has ended
                if (self && self->m_shown == reading)
                    self->clear();
            }};
}

void SpokenWordHighlight::showWord(quint64 reading, quint64 edits, int position, int length)
{
    if (!m_pane || edits != m_edits)
        return;
    m_shown = reading;
    QTextEdit::ExtraSelection word;
    word.format.setBackground(QColor(255, 226, 110));
    word.cursor = QTextCursor(m_pane->document());
    const int end = m_pane->document()->characterCount() - 1;
    word.cursor.setPosition(std::clamp(position, 0, end));
    word.cursor.setPosition(std::clamp(position + length, 0, end), QTextCursor::KeepAnchor);
    m_pane->setExtraSelections({word});
}

void SpokenWordHighlight::clear()
{
    m_shown = 0;
    if (m_pane && !m_pane->extraSelections().isEmpty())
        m_pane->setExtraSelections({});
}
