// The progress dialog and the login prompt as real widgets (offscreen platform).
#include "LoginPrompt.h"
#include "TTransfer.h"
#include "TTransferDialog.h"
#include "TestHttpServer.h"
#include "TransferAnimation.h"
#include "TransferGui.h"
#include "TransferTestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {
// Answers the next modal login prompt once it is up. One that is not up within ten
// seconds fails the test, and every dialog open is turned down so that the test ends.
void answerLogin(std::function<void(TLoginForm*)> answer, QDeadlineTimer deadline = QDeadlineTimer(10000))
{
    QTimer::singleShot(0, [answer, deadline] {
        auto* form = qobject_cast<TLoginForm*>(QApplication::activeModalWidget());
        if (form)
            return answer(form);
        if (!deadline.hasExpired())
            return answerLogin(answer, deadline);  // not shown yet: try again on the next round
        QTest::qFail("no login prompt came up within ten seconds", __FILE__, __LINE__);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
                dialog->reject();
        }
    });
}
}  // namespace

class TestTransferDialog : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Runs one local copy with the given settings and hands the live dialog to inspect.
    void runCopy(TTransfer& transfer, int size = 10)
    {
        writeFile(m_dir.filePath("a.txt"), QByteArray(size, 'a'));
        transfer.Items.Clear();
        TTransferItem* item = transfer.Items.Add();
        item->Protocol = tpFile;
        item->URL = m_dir.filePath("a.txt");
        item->TargetDir = m_dir.filePath("out");
    }
    static TTransferDialog* dialogOf(TTransfer& transfer) { return dynamic_cast<TTransferDialog*>(transfer.Dialog()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        registerTransferGui();
        QLocale::setDefault(QLocale::c());
    }

    void defaultLayout()
    {
        TTransfer transfer;
        TTransferDialog* seen = nullptr;
        QRect bar, file, progress, rate, cancel;
        bool timeVisible = true, elapsedVisible = true, onTop = false, closeBox = true, visible = false;
        bool plain = false;
        QSize size;
        QString title, fileText;
        QObject* before = nullptr;
        transfer.OnBeforeDialogShow = [&](TTransfer*, QObject* dialog) { before = dialog; };
        transfer.OnFileDone = [&](TTransfer* sender, int) {
            seen = dialogOf(*sender);
            size = seen->size();
            bar = seen->progressBar()->geometry();
            file = seen->fileLabel()->geometry();
            progress = seen->progressLabel()->geometry();
            rate = seen->rateLabel()->geometry();
            cancel = seen->cancelButton()->geometry();
            timeVisible = seen->timeLabel()->isVisibleTo(seen);
            elapsedVisible = seen->elapsedLabel()->isVisibleTo(seen);
            onTop = seen->windowFlags() & Qt::WindowStaysOnTopHint;
            closeBox = seen->windowFlags() & Qt::WindowCloseButtonHint;
            visible = seen->isVisible();
            title = seen->windowTitle();
            fileText = seen->fileLabel()->text();
            plain =
                seen->fileLabel()->textFormat() == Qt::PlainText && seen->rateLabel()->textFormat() == Qt::PlainText;
        };
        runCopy(transfer);
        QVERIFY(runToEnd(transfer));
        QVERIFY(seen);
        QCOMPARE(before, static_cast<QObject*>(seen));
        QCOMPARE(size, QSize(300, 188));
        QCOMPARE(bar, QRect(10, 60, 280, 12));
        QCOMPARE(file.topLeft(), QPoint(10, 80));
        QCOMPARE(file.width(), 280);
        QCOMPARE(progress.topLeft(), QPoint(10, 100));
        QCOMPARE(rate.topLeft(), QPoint(10, 120));
        QCOMPARE(cancel, QRect(300 - 75 - 10, 140, 75, 25));
        QVERIFY(!timeVisible);
        QVERIFY(!elapsedVisible);
        QVERIFY(onTop);
        QVERIFY(!closeBox);
        QVERIFY(visible);
        QVERIFY(plain);  // a name from an address is never taken for markup
        QCOMPARE(title, QStringLiteral("Copying ..."));
        QCOMPARE(fileText, QStringLiteral("File : a.txt from ") + m_dir.path() + "/");
        // Closed and destroyed at the end of a run without Open buttons.
        QCOMPARE(transfer.Dialog(), nullptr);
    }

    void optionalLinesMoveOnlyTheButtonRow_data()
    {
        QTest::addColumn<bool>("showTime");
        QTest::addColumn<bool>("showElapsed");
        QTest::addColumn<bool>("showFileName");
        QTest::addColumn<bool>("showCancel");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("buttonRow");
        QTest::addColumn<int>("elapsedTop");
        QTest::newRow("elapsed only") << false << true << true << true << 208 << 160 << 160;
        QTest::newRow("both") << true << true << true << true << 228 << 180 << 160;
        QTest::newRow("no file line") << true << false << false << true << 208 << 140 << 140;
        QTest::newRow("no cancel") << false << false << true << false << 168 << 140 << 160;
    }

    void optionalLinesMoveOnlyTheButtonRow()
    {
        QFETCH(bool, showTime);
        QFETCH(bool, showElapsed);
        QFETCH(bool, showFileName);
        QFETCH(bool, showCancel);
        TTransfer transfer;
        transfer.ShowTime = showTime;
        transfer.ShowElapsedTime = showElapsed;
        transfer.ShowFileName = showFileName;
        transfer.DlgShowCancel = showCancel;
        transfer.ShowOpenFile = true;
        runCopy(transfer);
        QVERIFY(runToEnd(transfer));
        TTransferDialog* d = dialogOf(transfer);
        QVERIFY(d);
        QTEST(d->height(), "height");
        QTEST(d->cancelButton()->y(), "buttonRow");
        QTEST(d->elapsedLabel()->y(), "elapsedTop");
        QCOMPARE(d->timeLabel()->isVisibleTo(d), showTime);
        QCOMPARE(d->elapsedLabel()->isVisibleTo(d), showElapsed);
        QCOMPARE(d->fileLabel()->isVisibleTo(d), showFileName);
        QCOMPARE(d->cancelButton()->isVisibleTo(d), showCancel);
        QCOMPARE(d->progressLabel()->y(), showFileName ? 100 : 80);
        QCOMPARE(d->timeLabel()->text().startsWith("Estimated time left : "), true);
    }

    void openButtonsAndFinishedState()
    {
        TTransfer transfer;
        transfer.ShowOpenFile = true;
        transfer.ShowOpenFolder = true;
        bool enabledWhileRunning = true;
        transfer.OnFileDone = [&](TTransfer* sender, int) {
            enabledWhileRunning = dialogOf(*sender)->openFileButton()->isEnabled();
        };
        runCopy(transfer);
        QVERIFY(runToEnd(transfer));
        TTransferDialog* d = dialogOf(transfer);
        QVERIFY(d);
        QVERIFY(!enabledWhileRunning);
        QCOMPARE(d->openFolderButton()->geometry(), QRect(300 - 2 * 75 - 20, 140, 75, 25));
        QCOMPARE(d->openFileButton()->geometry(), QRect(300 - 2 * 75 - 20 - 85, 140, 75, 25));
        QVERIFY(d->openFileButton()->isEnabled());
        QVERIFY(d->openFolderButton()->isEnabled());
        QCOMPARE(d->cancelButton()->text(), QStringLiteral("Close"));
        QVERIFY(!d->animation()->isPlaying());
        QVERIFY(d->isVisible());

        QString opened;
        TTransferDialog::setOpener([&](const QString& path) { opened = path; });
        QPointer<TTransferDialog> guard(d);
        QTest::mouseClick(d->openFileButton(), Qt::LeftButton);
        QCOMPARE(opened, m_dir.filePath("out/a.txt"));
        QCOMPARE(transfer.Dialog(), nullptr);
        QTRY_VERIFY(guard.isNull());

        QVERIFY(runToEnd(transfer));
        QTest::mouseClick(dialogOf(transfer)->openFolderButton(), Qt::LeftButton);
        QCOMPARE(opened, m_dir.filePath("out"));
        TTransferDialog::setOpener(nullptr);
    }

    void closeIsRefusedWhileRunning()
    {
        TTransfer transfer;
        transfer.ShowOpenFile = true;
        bool visibleAfterClose = false, visibleAfterEscape = false;
        transfer.OnFileDone = [&](TTransfer* sender, int) {
            TTransferDialog* d = dialogOf(*sender);
            d->close();
            visibleAfterClose = d->isVisible();
            QTest::keyClick(d, Qt::Key_Escape);
            visibleAfterEscape = d->isVisible();
        };
        runCopy(transfer);
        QVERIFY(runToEnd(transfer));
        QVERIFY(visibleAfterClose);
        QVERIFY(visibleAfterEscape);
        // Finished: Close hides it.
        TTransferDialog* d = dialogOf(transfer);
        QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        QVERIFY(!d->isVisible());
    }

    void closeBoxWhenAllowed()
    {
        TTransfer transfer;
        transfer.DlgShowCloseBtn = true;
        transfer.ShowDialogOnTop = false;
        bool closeBox = false, onTop = true, closed = false;
        transfer.OnFileDone = [&](TTransfer* sender, int) {
            TTransferDialog* d = dialogOf(*sender);
            closeBox = d->windowFlags() & Qt::WindowCloseButtonHint;
            onTop = d->windowFlags() & Qt::WindowStaysOnTopHint;
            closed = d->close();
        };
        runCopy(transfer);
        QVERIFY(runToEnd(transfer));
        QVERIFY(closeBox);
        QVERIFY(!onTop);
        QVERIFY(closed);

        transfer.AlwaysOnTop = true;
        QVERIFY(runToEnd(transfer));
        QVERIFY(onTop);
    }

    void cancelButtonStopsTheCopy()
    {
        TTransfer transfer;
        transfer.ShowCompletion = true;
        int cancels = 0;
        QString caption;
        transfer.OnCopyCancel = [&](TTransfer*) { ++cancels; };
        transfer.OnCopyProgress = [&](TTransfer* sender, int, quint32 done, quint32) {
            TTransferDialog* d = dialogOf(*sender);
            caption = d->windowTitle();
            if (done >= 16384 * 2)
                QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        };
        runCopy(transfer, 16384 * 10);
        QVERIFY(runToEnd(transfer));
        QCOMPARE(cancels, 1);
        QVERIFY(transfer.Items[0].Cancelled);
        QCOMPARE(caption, QStringLiteral("Copying : 20% completed"));
        QCOMPARE(QFileInfo(m_dir.filePath("out/a.txt")).size(), qint64(16384 * 2));
    }

    void animationClipsFollowTheJobKind()
    {
        TTransfer transfer;
        TTransferClip clip = TTransferClip::Download;
        bool playing = false;
        transfer.OnFileDone = [&](TTransfer* sender, int) {
            clip = dialogOf(*sender)->animation()->clip();
            playing = dialogOf(*sender)->animation()->isPlaying();
        };
        runCopy(transfer);
        QVERIFY(runToEnd(transfer));
        QCOMPARE(clip, TTransferClip::CopyFiles);
        QVERIFY(playing);
    }

    void loginPromptOk()
    {
        TLoginForm probe;
        QCOMPARE(probe.size(), QSize(320, 190));
        QCOMPARE(probe.Edit2->echoMode(), QLineEdit::Password);
        QCOMPARE(probe.Image1->geometry(), QRect(0, 0, 320, 60));
        QVERIFY(probe.Button1->isDefault());

        QString title;
        answerLogin([&](TLoginForm* form) {
            title = form->windowTitle();
            QVERIFY(form->Edit1->text().isEmpty());
            QTest::keyClicks(form->Edit1, "alice");
            QTest::keyClicks(form->Edit2, "s3cret");
            QTest::mouseClick(form->Button1, Qt::LeftButton);
        });
        QString user = "before", password = "before";
        QVERIFY(askLogin("Connect to host", user, password));
        QCOMPARE(title, QStringLiteral("Connect to host"));
        QCOMPARE(user, QStringLiteral("alice"));
        QCOMPARE(password, QStringLiteral("s3cret"));

        answerLogin([](TLoginForm* form) { QTest::mouseClick(form->Button1, Qt::LeftButton); });
        QVERIFY(askLogin("Connect to host", user, password));
        QCOMPARE(user, QString());
        QCOMPARE(password, QString());
    }

    void loginPromptCancelKeepsTheValues()
    {
        answerLogin([](TLoginForm* form) {
            QTest::keyClicks(form->Edit1, "mallory");
            QTest::mouseClick(form->Button2, Qt::LeftButton);
        });
        QString user = "kept", password = "kept too";
        QVERIFY(!askLogin("Connect to x", user, password));
        QCOMPARE(user, QStringLiteral("kept"));
        QCOMPARE(password, QStringLiteral("kept too"));

        answerLogin([](TLoginForm* form) { QTest::keyClick(form, Qt::Key_Escape); });
        QVERIFY(!askLogin("Connect to x", user, password));
    }

    void downloadAsksThroughTheRealPrompt()
    {
        qunsetenv("http_proxy");
        TestHttpServer server;
        TTransfer transfer;
        TTransferItem* item = transfer.Items.Add();
        item->URL = QString::fromStdString(server.url("/secret/s.bin"));
        item->TargetDir = m_dir.filePath("secret");
        item->Authenticate = taAuto;
        answerLogin([](TLoginForm* form) {
            form->Edit1->setText(TestHttpServer::User);
            form->Edit2->setText(TestHttpServer::Password);
            QTest::mouseClick(form->Button1, Qt::LeftButton);
        });
        QVERIFY(runToEnd(transfer));
        QVERIFY(transfer.Items[0].Success);
        QCOMPARE(QFileInfo(m_dir.filePath("secret/s.bin")).size(), qint64(10000));
    }
};

QTEST_MAIN(TestTransferDialog)
#include "test_transfer_dialog.moc"
