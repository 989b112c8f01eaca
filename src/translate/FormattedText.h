#pragma once

#include <QString>
#include <QStringList>

// Rich text on its way through the service's HTML document route: the pane's
// formatting goes as HTML, cut only between whole paragraphs, so that no
// sentence, tag or entity is ever split.
namespace FormattedText {

// The paragraphs of an HTML text in pieces of whole paragraphs, each an HTML
// document of its own holding at most `limit` characters of text (a longer
// paragraph goes alone). Empty paragraphs ride along with their neighbours.
QStringList htmlChunks(const QString& html, int limit);

// The text of an HTML piece as a plain-text pane would hold it.
QString plainText(const QString& html);

}  // namespace FormattedText
