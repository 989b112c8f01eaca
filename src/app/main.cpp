// linguaro: the translator's main window, and the translator from the command line.

#include "CommandLine.h"
#include "CommandLineTranslator.h"
#include "LinguaroApplication.h"
#include "SingleInstance.h"
#include "TForm1.h"
#include "TransferGui.h"
#include "TranslatorBusService.h"
#include "Folders.h"
#include "UserPrompts.h"
#include "WidgetPrompts.h"
#include "WindowRequests.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    // the command line's own work needs no window, no display and no session bus
    const CommandLine commandLine(CommandLine::Arguments(argc, argv));
    if (!commandLine.needsWindow())
        return CommandLineTranslator::Main(argc, argv, commandLine);
    if (!commandLine.windowCanOpen()) {
        std::fputs("linguaro: there is no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                   "To translate without a window use --from, --to or --file; see linguaro --help.\n",
                   stderr);
        return CommandLine::Failure;
    }

    LinguaroApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brenmark"));

    // one window per session: a later start hands its request to the running one
    const bool translateSelection = commandLine.mode() == CommandLine::Mode::TranslateSelection;
    TranslatorBusService bus;
    SingleInstance instance(&bus);
    if (instance.role() == SingleInstance::Role::Second) {
        const int forwarded = instance.forward(translateSelection ? SingleInstance::Request::TranslateSelection
                                                                  : SingleInstance::Request::ShowWindow);
        if (forwarded >= 0)
            return forwarded;
    }

    WidgetPrompts prompts;
    UserPrompts::setInstance(&prompts);
    Folders::ExportWindowsFolder();
    RegisterTransferGui();

    int result = 0;
    {
        TForm1 form;
        if (form.EndRequested)
            return 0;
        // a quit that bypasses the window's close (end of session) still stores the settings
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, &TForm1::FormClose);
        auto* requests = new WindowRequests(form);
        bus.attach(requests);
        form.show();
        if (translateSelection)
            QTimer::singleShot(0, requests, [requests] { requests->translateSelection(); });
        result = QApplication::exec();
        bus.attach(nullptr);
        instance.release();
    }
    UserPrompts::setInstance(nullptr);
    return result;
}
