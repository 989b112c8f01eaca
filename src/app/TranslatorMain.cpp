#include "TranslatorMain.h"

#include "CommandLine.h"
#include "Folders.h"
#include "HistoryRecorder.h"
#include "LinguaroApplication.h"
#include "MainWindow.h"
#include "TerminationSignals.h"
#include "TransferGui.h"
#include "SingleInstance.h"
#include "TranslatorBusService.h"
#include "UserPrompts.h"
#include "WidgetPrompts.h"
#include "WindowRequests.h"

#include <QTimer>

int translatorMain(int& argc, char** argv, const std::function<void(MainWindow&)>& started)
{
    LinguaroApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brenmark"));
    // the desktop matches the window with packaging/linguaro.desktop
    QGuiApplication::setDesktopFileName(QStringLiteral("linguaro"));
    // taken from here on; one that comes during start-up is handled once the loop runs
    TerminationSignals termination;

    // one window per session: a later start hands its request to the running one
    const bool translateSelection =
        CommandLine(QCoreApplication::arguments()).mode() == CommandLine::Mode::TranslateSelection;
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
    Folders::exportWindowsFolder();
    registerTransferGui();

    int result = 0;
    {
        MainWindow form;
        if (form.EndRequested)
            return 0;
        // a quit that bypasses the window's close (end of session) still stores the settings
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, &MainWindow::formClose);
        // a termination request ends the program as File > Exit does; quitting also
        // ends the loop of a dialog that may be open
        QObject::connect(&termination, &TerminationSignals::requested, &form, [&form] {
            form.close();
            QCoreApplication::quit();
        });
        auto* requests = new WindowRequests(form);
        bus.attach(requests);
        form.show();
        if (translateSelection)
            QTimer::singleShot(0, requests, [requests] { requests->translateSelection(); });
        if (started)
            QTimer::singleShot(0, &form, [&form, &started] { started(form); });
        result = QApplication::exec();
        // the last runs' records are written before the program ends
        HistoryRecorder::flush();
        bus.attach(nullptr);
        instance.release();
    }
    UserPrompts::setInstance(nullptr);
    return result;
}
