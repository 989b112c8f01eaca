// The manual pages and the program's page under docs/ describe what the programs
// take: every option that --help lists has its entry in the manual page's OPTIONS
// (with the name of its value), and no entry there names an option the program
// does not take; the docs page names every option; --help, the manual page and the
// docs page name every file extension whose layout the service keeps.
#include "DocumentTranslation.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The text of a manual page's source as a reader sees it, near enough: "\-" is "-",
// font changes and zero-width escapes are gone.
QString unescaped(QString roff)
{
    static const QRegularExpression fonts(QStringLiteral(R"(\\f[BIRP])"));
    roff.replace(QLatin1String("\\-"), QLatin1String("-")).remove(QLatin1String("\\&"));
    return roff.remove(fonts);
}

// option ("--from") -> its value's name ("code"), empty for a switch
using Options = QMap<QString, QString>;

}  // namespace

class TestManualPages : public QObject {
    Q_OBJECT
private slots:
    void optionsAndFormatsAreDescribed_data();
    void optionsAndFormatsAreDescribed();
};

void TestManualPages::optionsAndFormatsAreDescribed_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("manual");
    QTest::addColumn<QString>("docsPage");
    QTest::newRow("linguaro") << "linguaro"
                              << "linguaro.1"
                              << "docs/command-line.md";
    QTest::newRow("linguaro-service") << "linguaro-service"
                                      << "linguaro-service.8"
                                      << "docs/service.md";
}

void TestManualPages::optionsAndFormatsAreDescribed()
{
    QFETCH(QString, program);
    QFETCH(QString, manual);
    QFETCH(QString, docsPage);

    QProcess run;
    run.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    run.start(QStringLiteral(LINGUARO_BINARY_DIR "/") + program, {QStringLiteral("--help")});
    QVERIFY2(run.waitForFinished(30000), qPrintable(program + " --help did not end within 30 seconds"));
    QCOMPARE(run.exitCode(), 0);
    const QString help = QString::fromUtf8(run.readAllStandardOutput());

    // "  -f, --from <code>  Language ..." or "  --host <address>", two blanks in; descriptions go further in
    Options listed;
    static const QRegularExpression helpOption(QStringLiteral(R"(^  (?:-\w, )?(--[a-z-]+)(?: <([a-z]+)>)?)"),
                                               QRegularExpression::MultilineOption);
    for (auto match = helpOption.globalMatch(help); match.hasNext();) {
        const auto option = match.next();
        listed.insert(option.captured(1), option.captured(2));
    }
    QVERIFY2(listed.contains("--help") && listed.size() > 2, qPrintable(help));

    // each entry of OPTIONS: ".TP", then the line naming the option and its value
    const QString page = unescaped(readFile(QStringLiteral(LINGUARO_SOURCE_DIR "/packaging/") + manual));
    const qsizetype optionsAt = page.indexOf(QLatin1String("\n.SH OPTIONS\n"));
    QVERIFY2(optionsAt >= 0, qPrintable(manual + " has no OPTIONS section"));
    const QString section = page.mid(optionsAt, page.indexOf(QLatin1String("\n.SH "), optionsAt + 1) - optionsAt);
    Options described;
    static const QRegularExpression entry(QStringLiteral(R"(\n\.TP\n([^\n]*))"));
    static const QRegularExpression manualOption(QStringLiteral(R"((--[a-z-]+)(?:[" ]+([a-z]+))?)"));
    for (auto match = entry.globalMatch(section); match.hasNext();) {
        const QString tag = match.next().captured(1);
        const auto option = manualOption.match(tag);
        QVERIFY2(option.hasMatch(), qPrintable(manual + ": an entry names no option: " + tag));
        described.insert(option.captured(1), option.captured(2));
    }
    for (auto option = listed.cbegin(); option != listed.cend(); ++option) {
        QVERIFY2(described.contains(option.key()),
                 qPrintable(QStringLiteral("%1 does not describe %2 under OPTIONS").arg(manual, option.key())));
        QVERIFY2(described.value(option.key()) == option.value(),
                 qPrintable(QStringLiteral("%1 names the value of %2 \"%3\", --help \"%4\"")
                                .arg(manual, option.key(), described.value(option.key()), option.value())));
    }
    for (const QString& option : described.keys())
        QVERIFY2(listed.contains(option),
                 qPrintable(QStringLiteral("%1 describes %2, which %3 does not take").arg(manual, option, program)));

    const QString docs = readFile(QStringLiteral(LINGUARO_SOURCE_DIR "/") + docsPage);
    QVERIFY2(!docs.isEmpty(), qPrintable(docsPage + " cannot be read"));
    for (const QString& option : listed.keys()) {
        QVERIFY2(docs.contains(QRegularExpression(QRegularExpression::escape(option) + QStringLiteral("(?![a-z-])"))),
                 qPrintable(QStringLiteral("%1 does not name %2 of %3").arg(docsPage, option, program)));
    }

    for (const std::string& kept : DocumentTranslation::extensions()) {
        const QString extension = QLatin1Char('.') + QString::fromStdString(kept);
        // ".htm" is not named by ".html"
        const QRegularExpression named(QRegularExpression::escape(extension) + QStringLiteral("(?![a-z])"));
        QVERIFY2(help.contains(named), qPrintable(program + " --help does not name " + extension));
        QVERIFY2(page.contains(named), qPrintable(manual + " does not name " + extension));
        // the service's page names it as the route's format: `docx`
        const QRegularExpression format(QStringLiteral("[.`]")
                                        + QRegularExpression::escape(QString::fromStdString(kept))
                                        + QStringLiteral("(?![a-z])"));
        QVERIFY2(docs.contains(format), qPrintable(docsPage + " does not name " + extension));
    }
}

QTEST_APPLESS_MAIN(TestManualPages)
#include "test_manual_pages.moc"
