// linguaro: the translator's main window.

#include "DisplayPlatform.h"
#include "LinguaroApplication.h"
#include "TForm1.h"
#include "TransferGui.h"
#include "Folders.h"
#include "UserPrompts.h"
#include "WidgetPrompts.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // the character's windows need a platform that lets them stand where they are put, on top
    PreferX11OnWayland(argc, argv);
    LinguaroApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brenmark"));
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
        form.show();
        result = QApplication::exec();
    }
    UserPrompts::setInstance(nullptr);
    return result;
}
