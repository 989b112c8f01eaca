#include "PaneDocument.h"

#include "CodePages.h"
#include "HandBack.h"
#include "RtfReader.h"
#include "RtfWriter.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextDocument>
#include <QThread>
#include <QThreadPool>

#include <memory>

namespace {

QString decodePlainText(const QByteArray& data)
{
    if (const auto encoding = QStringConverter::encodingForData(data)) {
        // a byte order mark names the encoding
        QStringDecoder decoder(*encoding);
        return decoder.decode(data);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    // not UTF-8: a text file from an 8-bit Windows system
    text.clear();
    CodePages::Decoder legacy;
    legacy.append(data, 1252, text);
    return text;
}

bool looksBinary(const QByteArray& data)
{
    if (QStringConverter::encodingForData(data))
        return false;
    return QByteArrayView(data).first(std::min<qsizetype>(data.size(), 8192)).contains('\0');
}

}  // namespace

PaneDocument::Outcome PaneDocument::readFile(const QString& path, QByteArray& data)
{
    Outcome outcome;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        outcome.ok = false;
        outcome.error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        return outcome;
    }
    // the size is checked on what was read too: a device or pipe reports none beforehand
    data = file.size() > kMaxLoadBytes ? QByteArray() : file.read(kMaxLoadBytes + 1);
    if (file.size() > kMaxLoadBytes || data.size() > kMaxLoadBytes) {
        data.clear();
        outcome.ok = false;
        outcome.error = QStringLiteral("The file \"%1\" is too large to open (more than %2 MB).")
                            .arg(path)
                            .arg(kMaxLoadBytes / (1024 * 1024));
    }
    return outcome;
}

PaneDocument::Outcome PaneDocument::decodeText(const QByteArray& data, const QString& name, QString& text)
{
    Outcome outcome;
    if (looksBinary(data)) {
        outcome.ok = false;
        outcome.error = QStringLiteral("The file \"%1\" is neither a text nor a rich-text document.").arg(name);
        return outcome;
    }
    text = decodePlainText(data);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return outcome;
}

PaneDocument::Outcome PaneDocument::load(const QString& path, QTextDocument& document, const TextPlacer& placer)
{
    QByteArray data;
    const Outcome read = readFile(path, data);
    if (!read.ok)
        return read;
    return loadData(data, document, path, placer);
}

PaneDocument::Outcome PaneDocument::loadData(const QByteArray& data, QTextDocument& document, const QString& name,
                                             const TextPlacer& placer)
{
    Outcome outcome;
    if (RtfReader::looksLikeRtf(data)) {
        // a copy of what the pane held, so a file without any readable text leaves it as it was
        const std::unique_ptr<QTextDocument> previous(document.clone());
        const bool undo = document.isUndoRedoEnabled();
        const RtfReader::Result read = RtfReader::read(data, document);
        outcome.problems = read.problems;
        if (document.isEmpty() && !read.problems.isEmpty()) {
            outcome.ok = false;
            outcome.error = QStringLiteral("No text could be read from the rich-text file \"%1\". %2")
                                .arg(name, read.problems.join(u' '));
            document.setUndoRedoEnabled(false);
            QTextCursor(&document).insertFragment(QTextDocumentFragment(previous.get()));
        }
        document.setUndoRedoEnabled(undo);
        return outcome;
    }
    QString text;
    outcome = decodeText(data, name, text);
    if (!outcome.ok)
        return outcome;
    if (placer)
        placer(document, text);
    else
        setPlainText(document, text);
    return outcome;
}

void PaneDocument::setPlainText(QTextDocument& document, const QString& text)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.setPlainText(text);
    document.setUndoRedoEnabled(undo);
}

PaneDocument::Layout PaneDocument::Layout::of(const QTextDocument& like)
{
    return {like.defaultFont(), like.defaultTextOption(), like.documentMargin(),
            like.indentWidth(), like.defaultStyleSheet(), like.isUndoRedoEnabled()};
}

std::unique_ptr<QTextDocument> PaneDocument::Layout::build(const QString& text, QThread* home) const
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(font);
    document->setDefaultTextOption(option);
    document->setDocumentMargin(margin);
    document->setIndentWidth(indent);
    document->setDefaultStyleSheet(styleSheet);
    document->setUndoRedoEnabled(false);
    document->setPlainText(text);
    document->setUndoRedoEnabled(undo);
    document->moveToThread(home);
    return document;
}

void PaneDocument::buildPlainText(const QString& text, const QTextDocument& like, QObject* context,
                                  std::function<void(std::unique_ptr<QTextDocument>)> done)
{
    QThreadPool::globalInstance()->start(
        [layout = Layout::of(like), text, home = context->thread(), back = HandBack(context), done = std::move(done)] {
            auto built = std::make_shared<std::unique_ptr<QTextDocument>>(layout.build(text, home));
            back.post([built, done] { done(std::move(*built)); });
        });
}

QString PaneDocument::plainText(const QTextDocument& document)
{
    QString text;
    text.reserve(document.characterCount() + document.blockCount());
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            text += QLatin1String("\r\n");
        QString line = block.text();
        line.replace(QChar::LineSeparator, QLatin1String("\r\n"));
        line.remove(QChar::ObjectReplacementCharacter);
        text += line;
    }
    return text;
}

bool PaneDocument::isRichTextName(const QString& path) { return path.indexOf(QLatin1String(".rtf"), 1) >= 1; }

PaneDocument::Outcome PaneDocument::save(const QTextDocument& document, const QString& path, const QColor& defaultColor)
{
    const QByteArray bytes =
        isRichTextName(path) ? RtfWriter::write(document, defaultColor) : plainText(document).toUtf8();
    Outcome outcome;
    // written beside the target and renamed over it, so a failed write leaves the old file whole
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        outcome.ok = false;
        outcome.error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
        return outcome;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        outcome.ok = false;
        outcome.error = QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
    }
    return outcome;
}
