#pragma once

#include <QApplication>

// The application object. Every event reaches its handler through notify(),
// so an error that a handler did not catch itself ends that handler here and
// is shown as the application's error report instead of ending the process.
class LinguaroApplication : public QApplication {
public:
    LinguaroApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
