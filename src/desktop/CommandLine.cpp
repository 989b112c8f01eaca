#include "CommandLine.h"

#include "LocalFileName.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// Options of Qt's window layer: QApplication reads them itself.
const char* const WindowOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                              "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                              "display", "geometry", "style", "stylesheet", "qmljsdebugger"};
const char* const WindowFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

const char* const Description =
    "Translates text between languages.\n\n"
    "Without options the translator's window opens; when it is already open it\n"
    "comes to the front instead.\n\n"
    "With --from, --to or --file the text of standard input (UTF-8), or of the\n"
    "document as File > Open reads it, is translated without a window and written\n"
    "to standard output, through the same translation service as the window;\n"
    "languages not given are the window's last choice. Each line is a line of the\n"
    "source pane (a last line break only ends the last line). Progress goes to\n"
    "standard error when that is a terminal.\n\n"
    "With --file and --output a Word (.docx), OpenDocument text (.odt) or HTML\n"
    "document is translated with its layout kept and written to the --output file\n"
    "(\"-\": standard output); the format comes from the file's extension.\n\n"
    "Translations are kept in the history of translations unless Options > Misc >\n"
    "Keep a history of translations is off or --no-history is given; --history\n"
    "prints its entries. Each sentence translated is kept in the translation\n"
    "memory too, and a sentence sent again between the same languages to the same\n"
    "service with the same engine data is taken from it instead (unless Options >\n"
    "Misc > Reuse earlier translations is off, or --no-history is given);\n"
    "--export-tmx writes the memory as TMX 1.4b, --history WORDS with it only the\n"
    "sentences that hold those words, and --import-tmx reads a TMX file of another\n"
    "tool into it.\n\n"
    "Exit codes: 0 done; 1 the document could not be converted, or the translation\n"
    "or the service failed; 2 the command line, a language code or the text was wrong.";

}  // namespace

CommandLine::CommandLine(const QStringList& arguments) { parse(arguments); }

void CommandLine::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QString::fromLatin1(Description));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and end."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and end."));
    const QCommandLineOption from({QStringLiteral("f"), QStringLiteral("from")},
                                  QStringLiteral("Language of the text: a code or a name from --list-languages, or auto to detect it."),
                                  QStringLiteral("code"));
    const QCommandLineOption to({QStringLiteral("t"), QStringLiteral("to")},
                                QStringLiteral("Language to translate into: a code or a name."), QStringLiteral("code"));
    const QCommandLineOption file(QStringLiteral("file"),
                                  QStringLiteral("Translate this document (text, rich text, Word, Excel, PowerPoint, "
                                                 "PDF or HTML) instead of standard input."),
                                  QStringLiteral("path"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("With --file: write the translated document here, its layout kept "
                                                   "(\"-\": standard output)."),
                                    QStringLiteral("path"));
    const QCommandLineOption list(QStringLiteral("list-languages"),
                                  QStringLiteral("List the language codes and names, and the language pairs the "
                                                 "translation service reaches."));
    const QCommandLineOption selection(QStringLiteral("translate-selection"),
                                       QStringLiteral("Bring the window to the front and translate the selected text "
                                                      "(the primary selection, else the clipboard)."));
    const QCommandLineOption history(QStringLiteral("history"),
                                     QStringLiteral("Print the translations in the history that hold all these words "
                                                    "(any case, accents ignored), newest first; \"\" prints the newest."),
                                     QStringLiteral("words"));
    const QCommandLineOption noHistory(QStringLiteral("no-history"),
                                       QStringLiteral("Keep nothing of this run in the history of translations."));
    const QCommandLineOption exportMemory(QStringLiteral("export-tmx"),
                                          QStringLiteral("Write the translation memory to this TMX file (with "
                                                         "--history, only the pieces holding those words)."),
                                          QStringLiteral("path"));
    const QCommandLineOption importMemory(QStringLiteral("import-tmx"),
                                          QStringLiteral("Read the translations of this TMX file into the "
                                                         "translation memory."),
                                          QStringLiteral("path"));
    parser.addOptions({help, version, from, to, file, output, list, selection, history, noHistory, exportMemory,
                       importMemory});
    for (const char* name : WindowOptionsWithValue) {
        QCommandLineOption option(QLatin1String(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : WindowFlags) {
        QCommandLineOption option{QLatin1String(name), QString()};
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    // the usage line names the program as it was called; the parser knows no name before the application exists
    m_help = parser.helpText().replace(QLatin1String("<executable_name>"),
                                       arguments.isEmpty() ? QStringLiteral("linguaro")
                                                           : QFileInfo(arguments.constFirst()).fileName());

    auto refuse = [this](const QString& why) {
        m_mode = Mode::Invalid;
        m_error = why;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    m_platformGiven = parser.isSet(QStringLiteral("platform"));
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument '%1' (a document to translate goes after --file).")
                          .arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(help)) {
        m_mode = Mode::Help;
        return;
    }
    if (parser.isSet(version)) {
        m_mode = Mode::Version;
        return;
    }
    m_from = parser.value(from);
    m_to = parser.value(to);
    m_file = parser.value(file);
    m_output = parser.value(output);
    if (parser.isSet(output) && (m_output.isEmpty() || m_file.isEmpty()))
        return refuse(QStringLiteral("--output needs a path and goes with --file."));
    m_noHistory = parser.isSet(noHistory);
    const bool translating = parser.isSet(from) || parser.isSet(to) || parser.isSet(file);
    if (parser.isSet(exportMemory) || parser.isSet(importMemory)) {
        const bool exporting = parser.isSet(exportMemory);
        const QString option = exporting ? QStringLiteral("--export-tmx") : QStringLiteral("--import-tmx");
        if ((exporting && parser.isSet(importMemory)) || translating || parser.isSet(list) || parser.isSet(selection)
            || (!exporting && parser.isSet(history)))
            return refuse(exporting ? QStringLiteral("--export-tmx takes no other option but --history.")
                                    : QStringLiteral("--import-tmx takes no other option."));
        m_memoryFile = parser.value(exporting ? exportMemory : importMemory);
        if (m_memoryFile.isEmpty())
            return refuse(QStringLiteral("%1 needs the path of a TMX file.").arg(option));
        m_historyWords = parser.value(history);
        m_mode = exporting ? Mode::ExportMemory : Mode::ImportMemory;
        return;
    }
    if (parser.isSet(history)) {
        if (translating || parser.isSet(list) || parser.isSet(selection))
            return refuse(QStringLiteral("--history takes no other option."));
        m_historyWords = parser.value(history);
        m_mode = Mode::History;
        return;
    }
    if (parser.isSet(file) && m_file.isEmpty())
        return refuse(QStringLiteral("--file needs the path of a document."));
    if (parser.isSet(selection) && (translating || parser.isSet(list)))
        return refuse(QStringLiteral("--translate-selection works in the window and takes no other option."));
    if (parser.isSet(list) && translating)
        return refuse(QStringLiteral("--list-languages takes no other option."));
    if (parser.isSet(selection))
        m_mode = Mode::TranslateSelection;
    else if (parser.isSet(list))
        m_mode = Mode::ListLanguages;
    else if (translating)
        m_mode = Mode::Translate;
}

bool CommandLine::windowCanOpen() const
{
    return m_platformGiven || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        || !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList CommandLine::Arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        // a document's name in another encoding than UTF-8 still opens
        const QByteArray argument(argv[i]);
        const qsizetype equals = argument.indexOf('=');
        if (equals > 0 && (argument.startsWith("--file=") || argument.startsWith("-file=")))
            arguments << QString::fromLatin1(argument.first(equals + 1)) + LocalFileName::Reachable(argument.mid(equals + 1));
        else
            arguments << LocalFileName::Reachable(argument);
    }
    return arguments;
}
