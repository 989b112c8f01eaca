#pragma once

#include <QString>
#include <QStringList>

// The program's command line. Without options the window opens, or the
// running one comes to the front; --translate-selection translates the
// selection in it. --from, --to, --file and --list-languages work without a
// window (and without a display), reading standard input or the file and
// writing standard output; --history prints entries of the history;
// --export-tmx and --import-tmx write and read the translation memory.
class CommandLine {
public:
    enum class Mode {
        Window,
        TranslateSelection,
        Translate,
        ListLanguages,
        History,
        ExportMemory,
        ImportMemory,
        Help,
        Version,
        Invalid
    };

    // Exit codes of the program.
    static constexpr int Success = 0;
    static constexpr int Failure = 1;  // the translation, the service or the output failed
    static constexpr int Misuse = 2;   // the command line, a language code or the input is wrong

    // arguments: the program's arguments, the program's name first. Options
    // that the window layer takes (-platform, -style, -display, ...) are let through.
    explicit CommandLine(const QStringList& arguments);

    Mode mode() const { return m_mode; }
    bool needsWindow() const { return m_mode == Mode::Window || m_mode == Mode::TranslateSelection; }
    // --from, --to and --file as given; empty when not given.
    QString from() const { return m_from; }
    QString to() const { return m_to; }
    QString file() const { return m_file; }
    // --output: where the translated document goes ("-": standard output);
    // empty when the document is to be translated as plain text.
    QString output() const { return m_output; }
    // --export-tmx or --import-tmx: the TMX file.
    QString memoryFile() const { return m_memoryFile; }
    // --history: the words to look for; empty lists the newest entries (with
    // --export-tmx: the pieces to write, all when empty).
    QString historyWords() const { return m_historyWords; }
    // --no-history: nothing of this run goes into the history.
    bool noHistory() const { return m_noHistory; }
    // Why the command line was refused (mode Invalid).
    QString error() const { return m_error; }
    QString helpText() const { return m_help; }
    // The window layer's platform is named (-platform or QT_QPA_PLATFORM), or a
    // display is there to open the window on.
    bool windowCanOpen() const;

    // The program's arguments as the command line reads them.
    static QStringList arguments(int argc, char** argv);

private:
    void parse(const QStringList& arguments);

    Mode m_mode = Mode::Window;
    QString m_from;
    QString m_to;
    QString m_file;
    QString m_output;
    QString m_historyWords;
    QString m_memoryFile;
    bool m_noHistory = false;
    QString m_error;
    QString m_help;
    bool m_platformGiven = false;
};
