#pragma once

#include <QString>

// The files of File > Translate document...: which documents come back in their own
// format, which only as translated plain text, and the name the result is offered under.
namespace TranslatedDocument {

// Legacy Word, Excel, PowerPoint and PDF files: their text is translated into a .txt file.
bool textOnly(const QString& path);

// The Open dialog's filter rows.
QString openFilter();

// Why a legacy document comes back as plain text, in one sentence.
QString textOnlyReason(const QString& path);

// `<folder>/<name>.<target code>.<ext>` beside the document ("report.es.docx"), with the
// extension "txt" for a legacy one; the code in lower case.
QString proposedName(const QString& path, const QString& targetCode);

// The Save dialog's filter and default extension for the result of `path`.
QString saveFilter(const QString& path);
QString saveExtension(const QString& path);

}  // namespace TranslatedDocument
