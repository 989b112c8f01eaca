// No code waits by running events inside an event: long work is a job that reports by
// signals. The sources are read and every processEvents, QEventLoop and exec( outside the
// application's own loops and the modal dialogs the user opens is named by file and line.
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <iterator>

namespace {

struct Allowed {
    const char* file;      // relative to the source tree
    const char* fragment;  // what the line holds
};

// The application's own loops, and modal dialogs the user opened.
const Allowed ApplicationLoopsAndDialogs[] = {
    {"src/app/TranslatorMain.cpp", "QApplication::exec()"},
    {"src/desktop/CommandLineTranslator.cpp", "QCoreApplication::exec()"},
    {"src/platform/WidgetPrompts.cpp", "dialog.exec()"},
    {"src/documents/gui/DocumentCommands.cpp", "dialog.exec()"},
    {"src/settings/gui/AboutBox.cpp", "box.exec()"},
    {"src/settings/gui/ProxyDialog.cpp", "dialog.exec()"},
    {"src/transfer/gui/LoginPrompt.cpp", "form.exec()"},
};

// Known waits still to go: the component installs wait for their download and their
// installer. Each entry must still be found, so the list empties as they go.
const Allowed KnownRemainingTransferWaits[] = {
    {"src/transfer/SiteDownload.cpp", "#include <QEventLoop>"},
    {"src/transfer/SiteDownload.cpp", "QEventLoop loop;"},
    {"src/transfer/SiteDownload.cpp", "QObject::connect(job, &DownloadJob::finished, &loop, &QEventLoop::quit);"},
    {"src/transfer/SiteDownload.cpp", "loop.exec();"},
};

// The line with comments and the contents of string and character literals blanked, so
// that only code is matched. `inComment` carries a block comment over to the next line.
QString codeOf(const QString& line, bool& inComment)
{
    QString code;
    QChar quote;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        const QChar next = i + 1 < line.size() ? line[i + 1] : QChar();
        if (inComment) {
            if (c == u'*' && next == u'/') {
                inComment = false;
                ++i;
            }
            continue;
        }
        if (!quote.isNull()) {
            if (c == u'\\')
                ++i;
            else if (c == quote)
                quote = QChar();
            code += c == quote || quote.isNull() ? c : u' ';
            continue;
        }
        if (c == u'/' && next == u'/')
            break;
        if (c == u'/' && next == u'*') {
            inComment = true;
            ++i;
            continue;
        }
        if (c == u'"' || c == u'\'')
            quote = c;
        code += c;
    }
    return code;
}

bool matches(const Allowed& allowed, const QString& file, const QString& line)
{
    return file == QLatin1String(allowed.file) && line.contains(QLatin1String(allowed.fragment));
}

}  // namespace

class NoNestedLoopsTest : public QObject {
    Q_OBJECT
private slots:
    void onlyTheApplicationAndModalDialogsRunALoop();
};

void NoNestedLoopsTest::onlyTheApplicationAndModalDialogsRunALoop()
{
    const QString root = QStringLiteral(LINGUARO_SOURCE_DIR);
    static const QRegularExpression loop(QStringLiteral(R"(processEvents|QEventLoop|\bexec\s*\()"));
    QStringList found;
    QSet<int> knownSeen;
    int files = 0;
    for (const char* folder : {"src", "service", "converters"}) {
        QDirIterator it(root + u'/' + QLatin1String(folder), {"*.cpp", "*.h", "*.hpp", "*.cc"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString file = path.mid(root.size() + 1);
            QFile source(path);
            QVERIFY2(source.open(QIODevice::ReadOnly), qPrintable(path));
            ++files;
            bool inComment = false;
            const QStringList lines = QString::fromUtf8(source.readAll()).split(u'\n');
            for (qsizetype number = 0; number < lines.size(); ++number) {
                const QString code = codeOf(lines[number], inComment);
                if (!code.contains(loop))
                    continue;
                const QString text = lines[number].trimmed();
                if (std::any_of(std::begin(ApplicationLoopsAndDialogs), std::end(ApplicationLoopsAndDialogs),
                                [&](const Allowed& allowed) { return matches(allowed, file, text); }))
                    continue;
                bool known = false;
                for (int k = 0; k < int(std::size(KnownRemainingTransferWaits)); ++k) {
                    if (matches(KnownRemainingTransferWaits[k], file, text)) {
                        knownSeen.insert(k);
                        known = true;
                    }
                }
                if (!known)
                    found << QStringLiteral("%1:%2: %3").arg(file).arg(number + 1).arg(text);
            }
        }
    }
    QVERIFY2(files > 100, qPrintable(QStringLiteral("only %1 source files under %2").arg(files).arg(root)));
    for (int k = 0; k < int(std::size(KnownRemainingTransferWaits)); ++k) {
        if (!knownSeen.contains(k))
            found << QStringLiteral("%1: \"%2\" is gone: take it off the known remaining waits")
                         .arg(QLatin1String(KnownRemainingTransferWaits[k].file),
                              QLatin1String(KnownRemainingTransferWaits[k].fragment));
    }
    QVERIFY2(found.isEmpty(), qPrintable(QStringLiteral("an event loop runs inside an event (make the wait a job "
                                                        "that reports by a signal):\n")
                                         + found.join(u'\n')));
}

QTEST_GUILESS_MAIN(NoNestedLoopsTest)
#include "test_no_nested_loops.moc"
