#include "PaneDocument.h"

#include "CodePages.h"
#include "RtfReader.h"
#include "RtfWriter.h"

#include <QEventLoop>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextDocument>
#include <QThread>

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

PaneDocument::Outcome PaneDocument::load(const QString& path, QTextDocument& document, const TextPlacer& placer)
{
    Outcome outcome;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        outcome.ok = false;
        outcome.error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        return outcome;
    }
    // the size is checked on what was read too: a device or pipe reports none beforehand
    const QByteArray data = file.size() > kMaxLoadBytes ? QByteArray() : file.read(kMaxLoadBytes + 1);
    if (file.size() > kMaxLoadBytes || data.size() > kMaxLoadBytes) {
        outcome.ok = false;
        outcome.error = QStringLiteral("The file \"%1\" is too large to open (more than %2 MB).")
                            .arg(path)
                            .arg(kMaxLoadBytes / (1024 * 1024));
        return outcome;
    }
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
    if (looksBinary(data)) {
        outcome.ok = false;
        outcome.error = QStringLiteral("The file \"%1\" is neither a text nor a rich-text document.").arg(name);
        return outcome;
    }
    QString text = decodePlainText(data);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
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

std::unique_ptr<QTextDocument> PaneDocument::buildPlainText(const QString& text, const QTextDocument& like)
{
    QThread* home = QThread::currentThread();
    const QFont font = like.defaultFont();
    const QTextOption option = like.defaultTextOption();
    const qreal margin = like.documentMargin();
    const qreal indent = like.indentWidth();
    const QString styleSheet = like.defaultStyleSheet();
    const bool undo = like.isUndoRedoEnabled();
    std::unique_ptr<QTextDocument> built;
    std::unique_ptr<QThread> worker(QThread::create([&] {
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
        built = std::move(document);
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // also when the application is ending and left every loop early
    worker->wait();
    return built;
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
