#pragma once

#include "CommandLine.h"

#include <QString>

struct WindowSettings;

// The program without a window: help, version, the language list, and the
// translation of standard input or a document to standard output through the
// same run, service and routing as the window. Needs no display and no
// session bus; messages go to standard error.
class CommandLineTranslator {
public:
    explicit CommandLineTranslator(const CommandLine& commandLine);

    // Does what the command line asks and returns the program's exit code.
    int run();

    // The whole program for a command line that needs no window: a core
    // application (no display needed), then Run().
    static int main(int& argc, char** argv, const CommandLine& commandLine);

private:
    int listLanguages();
    int translate();
    // --file with --output: the document translated with its layout kept.
    int translateDocument(int source, int target, const WindowSettings& settings);
    // --output for a document whose layout cannot be kept: Success with
    // `textFile` set to where its translated text goes (empty: standard
    // output), else the exit code, the refusal told.
    int plainTextOutput(QString& textFile);
    int printHistory();
    // --export-tmx, --import-tmx
    int exportMemory();
    int importMemory();
    // The list position for --from or --to: the code or name given, else the
    // window's last choice. -1 with a message on standard error when there is none.
    int position(const QString& given, int stored, const char* option);
    // --from auto: the list position of the language the text is in; -1 with a
    // message when it cannot be told or is the target's own.
    int detectedSource(const QString& text, int target, const WindowSettings& settings);
    // The text to translate: the document's or standard input's; empty with
    // `problem` set (and the exit code in `exitCode`) when there is none.
    QString readText(QString& problem, int& exitCode);
    // The text File > Open puts into the source pane, through the same
    // converters, fetched on first use with progress on standard error.
    QString documentText(const QString& path, QString& problem);

    // --history prints at most this many entries, the newest
    static constexpr int HistoryListed = 50;

    const CommandLine& m_commandLine;
};
