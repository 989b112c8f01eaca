// Opening documents, against reference tools on the same files in the same run:
//  - a generated 100-page PDF through pdf-extract versus pdftotext (target: within 1.5x);
//  - a 10 MB text file loaded into a pane with PaneDocument::load versus cat (target: 2 s).
// Usage: bench_open [pages] [megabytes]. Each program runs three times; the best time counts.
#include "PaneDocument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const char* const kWords[] = {"the", "translation", "of", "documents", "reads", "every", "page", "and", "keeps",
                              "paragraphs", "apart", "while", "tables", "hold", "cells", "numbers", "1200",
                              "quarterly", "report", "service", "engine", "sentence", "with", "text"};

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
               "/Contents " + QByteArray::number(5 + 2 * p) + " 0 R >>");
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
    pdf += "trailer\n<< /Size " + QByteArray::number(offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
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
    if (pdftotext.isEmpty()) {
        std::printf("pdftotext: not installed, no comparison\n");
    } else {
        const double reference = best([&] { return runProgram(pdftotext, {"-enc", "UTF-8", pdf, dir.filePath("ref.txt")}); });
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
    return 0;
}
