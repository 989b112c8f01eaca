#include "PaneSearch.h"

#include <QTextDocument>

namespace {
QTextDocument::FindFlags flagsOf(PaneSearch::Options options)
{
    QTextDocument::FindFlags flags;
    if (options.wholeWord)
        flags |= QTextDocument::FindWholeWords;
    if (options.matchCase)
        flags |= QTextDocument::FindCaseSensitively;
    return flags;
}
}  // namespace

int PaneSearch::startAfter(const QTextCursor& cursor) { return cursor.hasSelection() ? cursor.selectionEnd() : 0; }

QTextCursor PaneSearch::find(const QTextDocument& document, const QString& text, int from, Options options)
{
    if (text.isEmpty())
        return {};
    return document.find(text, from, flagsOf(options));
}

bool PaneSearch::selectionMatches(const QTextCursor& cursor, const QString& text, Options options)
{
    if (!cursor.hasSelection() || text.isEmpty() || cursor.document() == nullptr)
        return false;
    const QTextCursor match = find(*cursor.document(), text, cursor.selectionStart(), options);
    return !match.isNull() && match.selectionStart() == cursor.selectionStart()
           && match.selectionEnd() == cursor.selectionEnd();
}

int PaneSearch::replaceAll(QTextDocument& document, const QString& text, const QString& replacement, Options options)
{
    int count = 0;
    QTextCursor edit(&document);
    edit.beginEditBlock();
    int from = 0;
    for (QTextCursor match = find(document, text, from, options); !match.isNull();
         match = find(document, text, from, options)) {
        match.insertText(replacement);
        // continue after what was put in, so a replacement that holds the text is not found again
        from = match.position();
        ++count;
    }
    edit.endEditBlock();
    return count;
}
