#include "LinguaroApplication.h"

#include "UserPrompts.h"

#include <exception>

LinguaroApplication::LinguaroApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool LinguaroApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        UserPrompts::instance().errorReport(QString::fromUtf8(e.what()));
    } catch (...) {
        UserPrompts::instance().errorReport(QStringLiteral("An unexpected error occurred."));
    }
    return false;
}
