#include "TTransferThread.h"

#include "TTransfer.h"

TTransferThread::TTransferThread(TTransfer& transfer) : m_transfer(transfer)
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TTransferThread::run()
{
    QMetaObject::invokeMethod(
        &m_transfer,
        [this] {
            // A failure of the run ends the thread; the caller of ThreadExecute goes on.
            try {
                m_transfer.Execute();
            } catch (const std::exception&) {
            }
        },
        Qt::BlockingQueuedConnection);
}
