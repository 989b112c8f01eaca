#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP as requests to end the program in order. The
// handler only writes the signal's number into a pipe; the event loop reads it
// and emits requested(), so whatever ends the program runs as an ordinary
// event. A second signal of a kind is not caught: a program stuck before its
// loop reads the pipe can still be ended.
// One instance at a time; the default handling returns when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

signals:
    void requested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};
