#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>

class QTextDocument;

// Moving a pane's document to and from files: rich text when the content (on load) or the
// name (on save) says so, otherwise UTF-8 plain text with CR LF line ends.
class PaneDocument {
public:
    struct Outcome {
        bool ok = true;
        QString error;         // why nothing was loaded or written
        QStringList problems;  // what a rich-text file held that could not be read as written
    };

    // Files larger than this are refused rather than read into memory.
    static constexpr qint64 kMaxLoadBytes = 64 * 1024 * 1024;

    // Replaces the document's content with the file's; on failure the document is unchanged.
    static Outcome load(const QString& path, QTextDocument& document);
    // name only goes into the error text
    static Outcome loadData(const QByteArray& data, QTextDocument& document,
                            const QString& name = QString());

    // The document's text with CR LF between lines; every character is kept.
    static QString plainText(const QTextDocument& document);

    // Writes rich text when the name contains ".rtf" from its second character on (a
    // case-sensitive test on the whole name), plain text otherwise; an existing file is replaced.
    static Outcome save(const QTextDocument& document, const QString& path,
                        const QColor& defaultColor = QColor());
    static bool isRichTextName(const QString& path);
};
