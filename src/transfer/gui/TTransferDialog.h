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

    void SetCaption(const QString& text) override;
    void SetFileLine(const QString& text) override;
    void SetPosition(int percent) override;
    void SetProgressLine(const QString& text) override;
    void SetRateLine(const QString& text) override;
    void SetTimeLine(const QString& text) override;
    void SetElapsedLine(const QString& text) override;
    void SetAnimation(TTransferClip clip) override;
    void StopAnimation() override;
    void SetFinished(const QString& closeCaption, bool enableOpenFile, bool enableOpenFolder) override;
    void Show() override;
    void RequestClose() override;
    void Dispose() override;
    QObject* Form() override { return this; }

    // Controls, for the window's callers and tests.
    TransferAnimation* Animation() const { return m_animation; }
    QProgressBar* ProgressBar() const { return m_bar; }
    QLabel* FileLabel() const { return m_fileLine; }
    QLabel* ProgressLabel() const { return m_progressLine; }
    QLabel* RateLabel() const { return m_rateLine; }
    QLabel* TimeLabel() const { return m_timeLine; }
    QLabel* ElapsedLabel() const { return m_elapsedLine; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* OpenFileButton() const { return m_openFile; }
    QPushButton* OpenFolderButton() const { return m_openFolder; }

    // How Open file / Open folder open a path (the desktop's default application).
    using Opener = std::function<void(const QString& path)>;
    static void SetOpener(Opener opener);

    static constexpr int DialogWidth = 300;
    static constexpr int ButtonWidth = 75;
    static constexpr int ButtonHeight = 25;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OpenAndClose(const QString& path);
    void MirrorSoon();
    void MirrorNow();

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
