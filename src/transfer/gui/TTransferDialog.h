#pragma once

#include "TTransferProgressView.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class TransferAnimation;

// The modeless progress dialog of a transfer run, laid out in code.
class TTransferDialog : public QDialog, public TTransferProgressView {
    Q_OBJECT
public:
    explicit TTransferDialog(TTransfer& owner);

    void setCaption(const QString& text) override;
    void setFileLine(const QString& text) override;
    void setPosition(int percent) override;
    void setProgressLine(const QString& text) override;
    void setRateLine(const QString& text) override;
    void setTimeLine(const QString& text) override;
    void setElapsedLine(const QString& text) override;
    void setAnimation(TTransferClip clip) override;
    void stopAnimation() override;
    void setFinished(const QString& closeCaption, bool enableOpenFile, bool enableOpenFolder) override;
    void showProgress() override;
    void requestClose() override;
    void dispose() override;
    QObject* form() override { return this; }

    // Controls, for the window's callers and tests.
    TransferAnimation* animation() const { return m_animation; }
    QProgressBar* progressBar() const { return m_bar; }
    QLabel* fileLabel() const { return m_fileLine; }
    QLabel* progressLabel() const { return m_progressLine; }
    QLabel* rateLabel() const { return m_rateLine; }
    QLabel* timeLabel() const { return m_timeLine; }
    QLabel* elapsedLabel() const { return m_elapsedLine; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* openFileButton() const { return m_openFile; }
    QPushButton* openFolderButton() const { return m_openFolder; }

    // How Open file / Open folder open a path (the desktop's default application).
    using Opener = std::function<void(const QString& path)>;
    static void setOpener(Opener opener);

    static constexpr int DialogWidth = 300;
    static constexpr int ButtonWidth = 75;
    static constexpr int ButtonHeight = 25;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void openAndClose(const QString& path);
    void mirrorSoon();
    void mirrorNow();

    static constexpr int MirrorInterval = 50;  // ms between two repaints of the progress lines
    QElapsedTimer m_mirrorClock;
    QTimer m_mirrorTimer;

    TransferAnimation* m_animation = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_fileLine = nullptr;
    QLabel* m_progressLine = nullptr;
    QLabel* m_rateLine = nullptr;
    QLabel* m_timeLine = nullptr;
    QLabel* m_elapsedLine = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_openFile = nullptr;
    QPushButton* m_openFolder = nullptr;
};
