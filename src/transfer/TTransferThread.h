#pragma once

#include <QThread>

class TTransfer;

// The worker of ThreadStart: one blocking call that runs Execute on the GUI
// thread. It frees itself when it ends.
class TTransferThread : public QThread {
    Q_OBJECT
public:
    explicit TTransferThread(TTransfer& transfer);

protected:
    void run() override;

private:
    TTransfer& m_transfer;
};
