// Opening documents, against reference tools on the same files in the same run:
//  - a generated 100-page PDF through pdf-extract versus pdftotext (target: within 1.5x);
//  - a 10 MB text file loaded into a pane with PaneDocument::load versus cat (target: 2 s);
//  - both through the main window's File > Open (FileOpen1Accept, the converter already in
//    the data folder), with the longest time the window went without repainting while the
//    text loaded (something asks it to repaint every 20 ms).
// Usage: bench_open [pages] [megabytes]. Each program runs three times; the best time counts.
#include "PaneDocument.h"
#include "WindowDriver.h"
#include "MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const char* const kWords[] = {"the",   "translation", "of",     "documents", "reads",  "every",    "page",  "and",
                              "keeps", "paragraphs",  "apart",  "while",     "tables", "hold",     "cells", "numbers",
                              "1200",  "quarterly",   "report", "service",   "engine", "sentence", "with",  "text"};

QByteArray proseLine(int n)
{
    QByteArray line;
    for (int w = 0; w < 14; ++w)
        line += QByteArray(kWords[(n * 7 + w * 3) % std::size(kWords)]) + ' ';
    return line.trimmed();
}

// A PDF of `pages` pages of prose in a standard font, 60 lines each, as a text writer makes it.
QByteArray makePdf(int pages)
{
    QByteArray pdf = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
    QList<qsizetype> offsets;
    auto object = [&](const QByteArray& body) {
        offsets << pdf.size();
        pdf += QByteArray::number(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    object("<< /Type /Catalog /Pages 2 0 R >>");
    QByteArray kids;
    for (int p = 0; p < pages; ++p)
        kids += QByteArray::number(4 + 2 * p) + " 0 R ";
    object("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>");
    object("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    for (int p = 0; p < pages; ++p) {
        object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 3 0 R >> >> "
               "/Contents "
               + QByteArray::number(5 + 2 * p) + " 0 R >>");
        QByteArray content = "BT /F1 10 Tf 12 TL 50 790 Td\n";
        for (int l = 0; l < 60; ++l)
            content += "(" + proseLine(p * 60 + l) + ") Tj T*\n";
        content += "ET";
        object("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream");
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
           + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// The best of three runs, in seconds; a negative time when the work failed.
double best(const std::function<bool()>& work)
{
    double result = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!work())
            return -1;
        result = std::min(result, timer.nsecsElapsed() / 1e9);
    }
    return result;
}

// Counts the window's repaints and keeps the longest stretch without one.
class RepaintWatch : public QObject {
public:
    qint64 longestGap = 0;
    int paints = 0;
    void start()
    {
        paints = 0;
        longestGap = 0;
        m_clock.start();
        m_last = 0;
    }
    qint64 finish()
    {
        longestGap = std::max(longestGap, m_clock.elapsed() - m_last);
        return longestGap;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_clock.isValid()) {
            ++paints;
            const qint64 now = m_clock.elapsed();
            longestGap = std::max(longestGap, now - m_last);
            m_last = now;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};

bool runProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 100;
    const double megabytes = argc > 2 ? QByteArray(argv[2]).toDouble() : 10.0;
    QTemporaryDir dir;

    const QString pdf = dir.filePath("bench.pdf");
    if (!writeFile(pdf, makePdf(pages))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(pdf));
        return 1;
    }
    std::printf("PDF: %d pages, %.2f MB\n", pages, QFile(pdf).size() / 1048576.0);
    const QString converter = QStringLiteral(LINGUARO_BINARY_DIR "/site/pdf-extract");
    const double ours = best([&] { return runProgram(converter, {pdf, dir.filePath("istmp.txt")}); });
    std::printf("pdf-extract: %.3f s (%lld bytes of text)\n", ours,
                static_cast<long long>(QFile(dir.filePath("istmp.txt")).size()));
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    double reference = -1;
    if (pdftotext.isEmpty()) {
        std::printf("pdftotext: not installed, no comparison\n");
    } else {
        reference = best([&] { return runProgram(pdftotext, {"-enc", "UTF-8", pdf, dir.filePath("ref.txt")}); });
        std::printf("pdftotext: %.3f s\n", reference);
        if (ours > 0 && reference > 0)
            std::printf("pdf-extract / pdftotext: %.2fx (target: at most 1.5x) %s\n", ours / reference,
                        ours <= 1.5 * reference ? "ok" : "SLOWER THAN THE TARGET");
    }

    const QString text = dir.filePath("bench.txt");
    QByteArray prose;
    const qsizetype bytes = qsizetype(megabytes * 1024 * 1024);
    prose.reserve(bytes + 200);
    for (int n = 0; prose.size() < bytes; ++n)
        prose += proseLine(n) + (n % 5 == 4 ? " Ελληνικά Русский 日本語\n\n" : "\n");
    if (!writeFile(text, prose)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(text));
        return 1;
    }
    std::printf("text: %.2f MB\n", prose.size() / 1048576.0);
    const double load = best([&] {
        QTextEdit pane;
        return PaneDocument::load(text, *pane.document()).ok;
    });
    std::printf("PaneDocument::load into a pane: %.3f s (target: at most 2 s) %s\n", load,
                load >= 0 && load <= 2.0 ? "ok" : "SLOWER THAN THE TARGET");
    const double cat = best([&] { return runProgram("/bin/cat", {text}); });
    std::printf("cat: %.3f s; load / cat: %.0fx\n", cat, cat > 0 ? load / cat : 0.0);

    // The whole File > Open of the window, with a data folder of its own that already holds
    // the PDF converter, so no download is timed.
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    qputenv("LINGUARO_WINVER", "nt 6.2 workstation");  // the window without its character
    qputenv("LINGUARO_SITE_URL", QUrl::fromLocalFile(QStringLiteral(LINGUARO_BINARY_DIR "/site")).toString().toUtf8());
    QDir().mkpath(dir.filePath("data/Brenmark"));
    QFile::copy(converter, dir.filePath("data/Brenmark/pdf-extract"));
    MainWindow form;
    form.show();
    QCoreApplication::processEvents();
    RepaintWatch watch;
    form.installEventFilter(&watch);
    ui(form).sourcePane()->viewport()->installEventFilter(&watch);
    QTimer asker;
    QObject::connect(&asker, &QTimer::timeout, &form, [&] { ui(form).sourcePane()->viewport()->update(); });
    asker.start(20);
    auto open = [&](const QString& path) {
        form.openDialog.FileName = path;
        form.openChosenDocument();
        return form.statusText() == path + QStringLiteral(" loaded.");
    };
    const double windowPdf = best([&] { return open(pdf); });
    std::printf("File > Open of the PDF: %.3f s; / pdftotext: %.2fx\n", windowPdf,
                reference > 0 ? windowPdf / reference : 0.0);
    qint64 gap = 0;
    int paints = 0;
    const double windowText = best([&] {
        watch.start();
        const bool ok = open(text);
        gap = std::max(gap, watch.finish());
        paints = std::max(paints, watch.paints);
        return ok;
    });
    std::printf("File > Open of the text: %.3f s (target: at most 2 s) %s; / cat: %.0fx\n", windowText,
                windowText >= 0 && windowText <= 2.0 ? "ok" : "SLOWER THAN THE TARGET",
                cat > 0 ? windowText / cat : 0.0);
    std::printf("  while it loaded: %d repaints, longest without one: %lld ms\n", paints, static_cast<long long>(gap));
    form.close();
    return 0;
}
