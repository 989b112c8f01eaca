#include "CommandLine.h"

#include "DocumentTranslationJob.h"
#include "LocalFileName.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// Options of Qt's window layer: QApplication reads them itself.
const char* const WindowOptionsWithValue[] = {"platform",        "platformpluginpath", "platformtheme", "plugin",
                                              "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
                                              "display",         "geometry",           "style",         "stylesheet",
                                              "qmljsdebugger"};
const char* const WindowFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// The paragraphs of --help before the options, each wrapped to 79 columns;
// %1 is the list of formats whose layout the translation service keeps.
const char* const Description[] = {
    "Translates text between languages.",
    "Without options the translator's window opens; when it is already open it comes to the front instead.",
    "With --from, --to or --file the text of standard input (UTF-8), or of the document as File > Open reads "
    "it, is translated without a window and written to standard output, through the same translation service as "
    "the window; languages not given are the window's last choice. Each line is a line of the source pane (a "
    "last line break only ends the last line). Progress goes to standard error when that is a terminal.",
    "With --file and --output a document is translated with its layout kept and written to the --output file "
    "(\"-\": standard output), the format coming from the file's extension: %1. Older Word, Excel and "
    "PowerPoint documents (.doc, .xls, .ppt) and PDF have their text translated into an --output ending in .txt "
    "(or \"-\").",
    "Translations are kept in the history of translations unless Options > Misc > Keep a history of "
    "translations is off or --no-history is given; --history prints its entries. Each sentence translated is "
    "kept in the translation memory too, and a sentence sent again between the same languages to the same service "
    "with the same engine data is taken from it instead (unless Options > Misc > Reuse earlier translations is "
    "off, or --no-history is given); --export-tmx writes the memory as TMX 1.4b, --history WORDS with it only the "
    "sentences that hold those words, and --import-tmx reads a TMX file of another tool into it.",
    "Exit codes: 0 done; 1 the document could not be converted, or the translation or the service failed; 2 the "
    "command line, a language code or the text was wrong."};

// Every option of the program, in the order --help lists them. The manual page and
// docs/command-line.md are checked against what --help prints, so an option added here must be described there too.
struct Option {
    const char* name;
    const char* shortName;  // null when none
    const char* value;      // the value's name; null for a switch
    const char* help;
};
const Option Options[] = {
    {"help", "h", nullptr, "Show this help and end."},
    {"version", "v", nullptr, "Show the version and end."},
    {"from", "f", "code", "Language of the text: a code or a name from --list-languages, or auto to detect it."},
    {"to", "t", "code", "Language to translate into: a code or a name."},
    {"file", nullptr, "path",
     "Translate this document (text, rich text, Word, Excel, PowerPoint, PDF or HTML) instead of standard input."},
    {"output", nullptr, "path",
     "With --file: write the translated document here with its layout kept (\"-\": standard output); a .txt "
     "file for older Word, Excel and PowerPoint documents and PDF."},
    {"list-languages", nullptr, nullptr,
     "List the language codes and names, and the language pairs the translation service reaches."},
    {"translate-selection", nullptr, nullptr,
     "Bring the window to the front and translate the selected text (the primary selection, else the clipboard)."},
    {"history", nullptr, "words",
     "Print the translations in the history that hold all these words (any case, accents ignored), newest first; "
     "\"\" prints the newest."},
    {"no-history", nullptr, nullptr, "Keep nothing of this run in the history of translations."},
    {"export-tmx", nullptr, "path",
     "Write the translation memory to this TMX file (with --history, only the sentences holding those words)."},
    {"import-tmx", nullptr, "path", "Read the translations of this TMX file into the translation memory."},
};

// Breaks a paragraph at blanks into lines of at most `width` characters.
QString wrapped(const QString& paragraph, qsizetype width)
{
    QString text;
    qsizetype lineLength = 0;
    for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (lineLength > 0 && lineLength + 1 + word.size() > width) {
            text += QLatin1Char('\n');
            lineLength = 0;
        } else if (lineLength > 0) {
            text += QLatin1Char(' ');
            ++lineLength;
        }
        text += word;
        lineLength += word.size();
    }
    return text;
}

QString description()
{
    QStringList paragraphs;
    for (const char* paragraph : Description) {
        QString text = QString::fromLatin1(paragraph);
        if (text.contains(QLatin1String("%1")))
            text = text.arg(DocumentTranslationJob::keptFormats(QStringLiteral("or")));
        paragraphs << wrapped(text, 79);
    }
    return paragraphs.join(QLatin1String("\n\n"));
}

}  // namespace

CommandLine::CommandLine(const QStringList& arguments) { parse(arguments); }

void CommandLine::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(description());
    for (const Option& option : Options) {
        QStringList names{QLatin1String(option.name)};
        if (option.shortName)
            names.prepend(QLatin1String(option.shortName));
        parser.addOption(QCommandLineOption(names, QString::fromLatin1(option.help),
                                            option.value ? QString::fromLatin1(option.value) : QString()));
    }
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

    const QString help = QStringLiteral("help"), version = QStringLiteral("version"), from = QStringLiteral("from"),
                  to = QStringLiteral("to"), file = QStringLiteral("file"), output = QStringLiteral("output"),
                  list = QStringLiteral("list-languages"), selection = QStringLiteral("translate-selection"),
                  history = QStringLiteral("history"), noHistory = QStringLiteral("no-history"),
                  exportMemory = QStringLiteral("export-tmx"), importMemory = QStringLiteral("import-tmx");
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
    return m_platformGiven || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList CommandLine::arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        // a document's name in another encoding than UTF-8 still opens
        const QByteArray argument(argv[i]);
        const qsizetype equals = argument.indexOf('=');
        if (equals > 0 && (argument.startsWith("--file=") || argument.startsWith("-file=")))
            arguments << QString::fromLatin1(argument.first(equals + 1))
                             + LocalFileName::reachable(argument.mid(equals + 1));
        else
            arguments << LocalFileName::reachable(argument);
    }
    return arguments;
}
