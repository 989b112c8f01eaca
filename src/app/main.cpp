// linguaro: the translator's main window, and the translator from the command line.

#include "CommandLine.h"
#include "CommandLineTranslator.h"
#include "DisplayPlatform.h"
#include "HistoryRecorder.h"
#include "StandardStreams.h"
#include "TranslatorMain.h"

#include <cstdio>

int main(int argc, char** argv)
{
    StandardStreams::guard();
    // the command line's own work needs no window, no display and no session bus
    const CommandLine commandLine(CommandLine::arguments(argc, argv));
    HistoryRecorder::setSuspendedForRun(commandLine.noHistory());
    if (!commandLine.needsWindow())
        return CommandLineTranslator::main(argc, argv, commandLine);
    if (!commandLine.windowCanOpen()) {
        std::fputs("linguaro: there is no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                   "To translate without a window use --from, --to or --file; see linguaro --help.\n",
                   stderr);
        return CommandLine::Failure;
    }
    // the character's windows need a platform that lets them stand where they are put, on top
    preferX11OnWayland(argc, argv);
    return translatorMain(argc, argv);
}
