#pragma once

#include "FileOpenDialog.h"
#include "Shell.h"

#include <QString>

#include <functional>
#include <memory>

class QTextDocument;
class TTransfer;

// The Open command: puts the text of a document into the source pane. Text and rich-text
// files are loaded as they are; Word, Excel, PowerPoint, PDF and HTML documents go through
// the converter for their kind, fetched from the site into the data folder on first use.
class DocumentOpening {
public:
    using StatusLine = std::function<void(const QString& text, bool repaintNow)>;
    // The source pane as an open sees it: its document, and a way to give it a whole new
    // one (a long text is built apart, so the window goes on painting meanwhile).
    struct Pane {
        std::function<QTextDocument&()> document;
        std::function<void(std::unique_ptr<QTextDocument>)> adopt;
    };
    // Texts longer than this are built apart from the pane.
    static constexpr qsizetype LongText = 1024 * 1024;

    static const QString ConverterSuffix;  // "-extract", after the format tag
    static const QString WorkFileName;     // "istmp.txt": a PDF's text on its way to the pane
    static const QString WordFolderName;   // the Word converter's folder in the data folder
    static const QString WordProgramName;  // the Word converter inside that folder
    static const QString WordMarkerName;   // the mapping file that marks the folder as unpacked

    DocumentOpening(Pane source, TTransfer& transfer, FileOpenDialog& dialog, StatusLine status);

    // Opens `path` (the file the user chose or dropped). Refused, returning false, while an
    // open is still under way (its wait keeps the window live, so a second one could start).
    bool accept(const QString& path);
    bool busy() const { return m_busy; }
    // The last Accept put the document's text in the pane (a failure has been told to the user).
    bool loaded() const { return m_loaded; }

    // The address space a converter may take: poppler and the readers stay well within it on
    // any real document, while a hostile one cannot take the machine's memory.
    static constexpr qint64 ConverterMemory = qint64(2) << 30;
    // What a converter may take; tests lower them.
    Shell::Limits ConverterLimits = Shell::Limits::confined(ConverterMemory);

    // "doc", "xls", "ppt", "pdf", "htm" or empty: a lower-case substring test on the whole
    // path in that order, a later hit replacing an earlier one; failing that, a template's
    // extension (.dot, .xlt, .pot and their newer forms) gives the kind it is a template of.
    static QString formatTag(const QString& path);
    static QString converterName(const QString& tag) { return tag + ConverterSuffix; }
    // Lines of a converter's output before the document's text.
    static int headerLines(const QString& tag);
    // Why `path` cannot be read as a document ("no such file", "it is a named pipe"...), or
    // empty when it can. Links are followed.
    static QString unreadable(const QString& path);

private:
    struct Converted;

    Converted convert(const QString& tag, const QString& converter, const QString& path, const QString& data);
    // A converter's private folder, removed once its text is loaded.
    static Converted scratch(const QString& path);
    Converted convertPage(const QString& converter, const QString& path);
    Converted convertWord(const QString& converter, const QString& data);
    // A converter that ended without its text; `copy` is a private copy of the document that
    // its complaint may name in place of `path`.
    Converted failed(const QString& path, const Shell::Outcome& outcome, const QString& copy = QString()) const;
    // A real folder (not a link to one) holding the marker of a complete unpack.
    static bool isUnpackedFolder(const QString& folder);
    // Unpacks the Word converter into `folder`; empty, or what went wrong. Two first opens at
    // once (two windows, the command line) each unpack privately and the first keeps its folder.
    QString unpackWord(const QString& converter, const QString& data, const QString& folder);
    QString obtainConverter(const QString& tag, const QString& data);
    void report(const QString& text);
    void finish(const QString& path, const QString& status);
    // The open ends without loading: the user is told why and the pane keeps its text.
    void fail(const QString& path, const QString& problem);
    void placeText(QTextDocument& document, const QString& text);

    Pane m_source;
    TTransfer& m_transfer;
    FileOpenDialog& m_dialog;
    StatusLine m_status;
    bool m_busy = false;
    bool m_loaded = false;
};
