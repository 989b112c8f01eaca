// Rich-text load and save speed on a generated 5 MB document, against `unrtf --text` on the
// same file in the same run. Usage: rtf_bench [megabytes] (default 5).
#include "PaneDocument.h"
#include "RtfReader.h"
#include "RtfWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>

#include <cstdio>

namespace {

// Paragraphs the way word processors write them: fonts, sizes, styles, colours, accents in the
// code page, Unicode escapes, bullets and nested groups.
QByteArray generate(qsizetype targetBytes)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}"
                     "{\\f1\\fswiss\\fcharset0 Arial;}{\\f2\\fnil\\fcharset2 Symbol;}}\r\n"
                     "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}\r\n"
                     "{\\*\\generator bench}\\viewkind4\\uc1\r\n";
    int n = 0;
    while (rtf.size() < targetBytes) {
        ++n;
        if (n % 7 == 0)
            rtf += "\\pard{\\pntext\\f2\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf2\\pnindent0{\\pntxtb\\'B7}}"
                   "\\fi-360\\li720\\f0\\fs22 Item "
                   + QByteArray::number(n) + " of the list\\par\r\n";
        else if (n % 5 == 0)
            rtf += "\\pard\\qc\\f1\\fs28\\b Heading number " + QByteArray::number(n) + "\\b0\\par\r\n";
        else
            rtf += "\\pard\\f0\\fs22 Le caf\\'e9 \\b est\\b0  tr\\'e8s \\i bon\\i0 , "
                   "\\cf1 rouge\\cf0  et {\\ul soulign\\'e9 {\\cf2 vert}} \\u1055?\\u1088?\\u1080?"
                   "\\u1074?\\u1077?\\u1090?, \\u26085?\\u26412? {\\*\\bkmkstart b"
                   + QByteArray::number(n) + "} and a long run of ordinary text to read in one piece, number "
                   + QByteArray::number(n) + ".\\par\r\n";
    }
    rtf += "}\r\n";
    return rtf;
}

double seconds(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e9; }

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const double megabytes = argc > 1 ? QByteArray(argv[1]).toDouble() : 5.0;
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.rtf");
    const QByteArray source = generate(qsizetype(megabytes * 1024 * 1024));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(source) != source.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    std::printf("document: %.2f MB of rich text\n", source.size() / 1048576.0);

    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QTextDocument document;
    const RtfReader::Result read = RtfReader::read(file.readAll(), document);
    const double load = seconds(timer);
    std::printf("load (read file, parse, build document): %.3f s, %d paragraphs, %d characters%s\n", load,
                document.blockCount(), document.characterCount(), read.problems.isEmpty() ? "" : ", with problems");

    timer.restart();
    const QString out = dir.filePath("saved.rtf");
    PaneDocument::save(document, out);
    const double save = seconds(timer);
    std::printf("save (write rich text to a file): %.3f s, %.2f MB\n", save, QFile(out).size() / 1048576.0);

    timer.restart();
    QTextEdit pane;
    const PaneDocument::Outcome outcome = PaneDocument::load(path, *pane.document());
    std::printf("load into a pane (with its layout): %.3f s%s\n", seconds(timer), outcome.ok ? "" : ", failed");

    const QString unrtf = QStandardPaths::findExecutable("unrtf");
    if (unrtf.isEmpty()) {
        std::printf("unrtf: not installed, no comparison\n");
        return 0;
    }
    QProcess process;
    timer.restart();
    process.start(unrtf, {"--text", path});
    process.waitForFinished(-1);
    const double reference = seconds(timer);
    std::printf("unrtf --text: %.3f s (%lld bytes of output)\n", reference,
                static_cast<long long>(process.readAllStandardOutput().size()));
    std::printf("load + save: %.3f s, %s than unrtf (%.1fx)\n", load + save,
                load + save < reference ? "faster" : "SLOWER", reference / (load + save));
    return 0;
}
