#pragma once

#include <QString>

// The text of a word balloon while it is being spoken: words appear as they
// start to sound, and a long text goes on in pages so the balloon keeps its
// size however long the text is.
class BalloonText {
public:
    explicit BalloonText(int pageLength = 150);

    // A new text; nothing of it is shown yet.
    void start(const QString& text);
    // The word text[position, position + length) sounds now: the page shows
    // everything up to it and the punctuation that sticks to it. Positions
    // before what is shown already are ignored.
    void reveal(int position, int length);
    // The rest of the text (the last words and punctuation) when the speech ends.
    void revealRest();
    void clear();

    // What the balloon shows: the revealed part of the current page.
    QString page() const;
    bool isEmpty() const { return m_shownEnd <= m_pageStart; }
    int pageLength() const { return m_pageLength; }

private:
    QString m_text;
    int m_pageLength;
    int m_pageStart = 0;
    int m_shownEnd = 0;
};
