#include "TranslatedDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace TranslatedDocument {

namespace {

const QStringList& textOnlyExtensions()
{
    static const QStringList extensions{"doc", "xls", "ppt", "pdf"};
    return extensions;
}

QString suffixOf(const QString& path) { return QFileInfo(path).suffix().toLower(); }

}  // namespace

bool textOnly(const QString& path) { return textOnlyExtensions().contains(suffixOf(path)); }

QString openFilter()
{
    return QStringLiteral(
        "Documents (*.docx *.odt *.pptx *.odp *.xlsx *.ods *.html *.htm *.rtf *.doc *.xls *.ppt *.pdf);;"
        "Word and OpenDocument text (*.docx *.odt *.rtf);;"
        "Presentations (*.pptx *.odp);;"
        "Spreadsheets (*.xlsx *.ods);;"
        "Web pages (*.html *.htm);;"
        "Older Word, Excel and PowerPoint files, PDF (*.doc *.xls *.ppt *.pdf);;"
        "All files (*)");
}

QString textOnlyReason(const QString& path)
{
    return QStringLiteral("%1 cannot be rebuilt with its layout (older Word, Excel and PowerPoint files and PDF "
                          "have no such path), so its text is translated into a plain-text .txt file.")
        .arg(QFileInfo(path).fileName());
}

QString proposedName(const QString& path, const QString& targetCode)
{
    const QFileInfo file(path);
    const QString extension = textOnly(path) ? QStringLiteral("txt") : file.suffix();
    return QDir(file.path())
        .filePath(QStringLiteral("%1.%2.%3").arg(file.completeBaseName(), targetCode.toLower(), extension));
}

QString saveExtension(const QString& path) { return textOnly(path) ? QStringLiteral("txt") : suffixOf(path); }

QString saveFilter(const QString& path)
{
    const QString extension = saveExtension(path);
    return QStringLiteral("%1 files (*.%2);;All files (*)").arg(extension.toUpper(), extension);
}

}  // namespace TranslatedDocument
