#pragma once

#include <QString>
#include <QTextCursor>

class QTextDocument;

// Finding and replacing text in a pane's document. Searching always runs forward and never wraps.
class PaneSearch {
public:
    struct Options {
        bool wholeWord = false;
        bool matchCase = false;
    };

    // Where a search continues: just after the selection, or the beginning without one.
    static int startAfter(const QTextCursor& cursor);
    // The next match at or after `from`; a null cursor when there is none.
    static QTextCursor find(const QTextDocument& document, const QString& text, int from, Options options);
    // True when the cursor's selection is exactly a match of the text.
    static bool selectionMatches(const QTextCursor& cursor, const QString& text, Options options);
    // Replaces every match in the document as one undo step; returns how many were replaced.
    static int replaceAll(QTextDocument& document, const QString& text, const QString& replacement, Options options);
};
