#include "FormattedText.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace FormattedText {

namespace {

QString pieceHtml(QTextDocument& document, const QTextBlock& first, const QTextBlock& last)
{
    QTextCursor cursor(&document);
    cursor.setPosition(first.position());
    cursor.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    return cursor.selection().toHtml();
}

}  // namespace

QStringList htmlChunks(const QString& html, int limit)
{
    QTextDocument document;
    document.setHtml(html);
    QStringList pieces;
    QTextBlock first = document.begin();
    int size = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int length = block.length();
        if (block != first && size + length > limit) {
            pieces << pieceHtml(document, first, block.previous());
            first = block;
            size = 0;
        }
        size += length;
    }
    if (first.isValid())
        pieces << pieceHtml(document, first, document.lastBlock());
    return pieces;
}

QString plainText(const QString& html) { return QTextDocumentFragment::fromHtml(html).toPlainText(); }

}  // namespace FormattedText
