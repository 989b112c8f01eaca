#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QTextOption>

#include <functional>
#include <memory>

class QObject;
class QTextDocument;
class QThread;

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
    // Puts decoded plain text into the document; unset, setPlainText below.
    using TextPlacer = std::function<void(QTextDocument& document, const QString& text)>;

    // The settings of a pane's document that a document built apart for it takes over.
    struct Layout {
        QFont font;
        QTextOption option;
        qreal margin = 0;
        qreal indent = 0;
        QString styleSheet;
        bool undo = true;

        static Layout of(const QTextDocument& like);
        // A document holding `text`, built on the calling thread (any thread) and handed to `home`.
        std::unique_ptr<QTextDocument> build(const QString& text, QThread* home) const;
    };

    // Reads a whole file, refusing one larger than kMaxLoadBytes.
    static Outcome readFile(const QString& path, QByteArray& data);
    // Plain text from the bytes of a file that is not rich text, with LF line ends; refused
    // when it looks binary. `name` only goes into the error text.
    static Outcome decodeText(const QByteArray& data, const QString& name, QString& text);

    // Replaces the document's content with the file's; on failure the document is unchanged.
    static Outcome load(const QString& path, QTextDocument& document, const TextPlacer& placer = {});
    // name only goes into the error text
    static Outcome loadData(const QByteArray& data, QTextDocument& document, const QString& name = QString(),
                            const TextPlacer& placer = {});
    // Replaces the document's content with plain text; nothing of it goes into the undo history.
    static void setPlainText(QTextDocument& document, const QString& text);
    // A new document holding `text` with the defaults of `like`, built on a worker thread
    // while the calling thread goes on; `done` receives it on the thread of `context`, unless
    // `context` is gone by then. A long text takes its time to build; the window does not freeze.
    static void buildPlainText(const QString& text, const QTextDocument& like, QObject* context,
                               std::function<void(std::unique_ptr<QTextDocument>)> done);

    // The document's text with CR LF between lines; every character is kept.
    static QString plainText(const QTextDocument& document);

    // Writes rich text when the name contains ".rtf" from its second character on (a
    // case-sensitive test on the whole name), plain text otherwise; an existing file is replaced.
    static Outcome save(const QTextDocument& document, const QString& path, const QColor& defaultColor = QColor());
    static bool isRichTextName(const QString& path);
};
