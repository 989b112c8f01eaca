#include "SourcePane.h"

#include <QPointer>
#include <QTextDocument>
#include <QTextEdit>

DocumentOpening::Pane sourcePane(QTextEdit* pane)
{
    DocumentOpening::Pane source;
    source.document = [pane]() -> QTextDocument& { return *pane->document(); };
    source.adopt = [pane](std::unique_ptr<QTextDocument> document) {
        const QPointer<QTextDocument> old = pane->document();
        document->setParent(pane);
        pane->setDocument(document.release());
        // the pane frees the document it made itself; one it was given earlier is ours to free
        if (old && old->parent() == pane)
            delete old.data();
        pane->moveCursor(QTextCursor::Start);
        // the pane does not tell its watchers itself that nothing is selected or to undo now
        emit pane->copyAvailable(false);
        emit pane->undoAvailable(pane->document()->isUndoAvailable());
    };
    return source;
}
