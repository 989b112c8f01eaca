#include "TTransferDialog.h"

#include "TTransfer.h"
#include "TransferAnimation.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace {
TTransferDialog::Opener& currentOpener()
{
    static TTransferDialog::Opener opener = [](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    return opener;
}

constexpr int LineHeight = 16;
constexpr int Margin = 10;
}  // namespace

void TTransferDialog::setOpener(Opener opener) { currentOpener() = std::move(opener); }

TTransferDialog::TTransferDialog(TTransfer& owner) : QDialog(nullptr), TTransferProgressView(owner)
{
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (owner.DlgShowCloseBtn)
        flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    if (owner.ShowDialogOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
    setModal(false);

    const int extra = (owner.ShowTime ? 20 : 0) + (owner.ShowElapsedTime ? 20 : 0);
    const int base = owner.ShowFileName ? 80 : 60;
    const int buttonRow = extra + (owner.ShowFileName ? 140 : 120);
    const int height = extra + 188 - (owner.DlgShowCancel ? 0 : 20);
    const int inner = DialogWidth - 2 * Margin;
    // The window manager adds the caption above this client area.
    setFixedSize(DialogWidth, height);

    m_animation = new TransferAnimation(this);
    m_animation->move(Margin, 0);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setGeometry(Margin, 60, inner, 12);

    const auto line = [this, inner](int top, bool visible) {
        auto* label = new QLabel(this);
        // Names come from addresses: never read them as markup.
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(Margin, top, inner, LineHeight);
        label->setVisible(visible);
        return label;
    };
    m_fileLine = line(80, owner.ShowFileName);
    m_progressLine = line(base + 20, true);
    m_rateLine = line(base + 40, true);
    m_timeLine = line(base + 60, owner.ShowTime);
    m_elapsedLine = line(base + 80, owner.ShowElapsedTime);

    m_cancel = new QPushButton(owner.DlgCancel, this);
    m_cancel->setGeometry(DialogWidth - ButtonWidth - Margin, buttonRow, ButtonWidth, ButtonHeight);
    m_cancel->setVisible(owner.DlgShowCancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] { this->owner().CancelClick(); });
    const int openLeft = DialogWidth - 2 * ButtonWidth - 2 * Margin;
    if (owner.ShowOpenFolder) {
        m_openFolder = new QPushButton(owner.DlgOpenFolder, this);
        m_openFolder->setGeometry(openLeft, buttonRow, ButtonWidth, ButtonHeight);
        m_openFolder->setEnabled(false);
        connect(m_openFolder, &QPushButton::clicked, this, [this] { openAndClose(this->owner().LastTargetDir()); });
    }
    if (owner.ShowOpenFile) {
        m_openFile = new QPushButton(owner.DlgOpenFile, this);
        const int left = openLeft - (owner.ShowOpenFolder ? ButtonWidth + Margin : 0);
        m_openFile->setGeometry(left, buttonRow, ButtonWidth, ButtonHeight);
        m_openFile->setEnabled(false);
        connect(m_openFile, &QPushButton::clicked, this, [this] { openAndClose(this->owner().LastTargetPath()); });
    }

    m_mirrorTimer.setSingleShot(true);
    connect(&m_mirrorTimer, &QTimer::timeout, this, &TTransferDialog::mirrorNow);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TTransferDialog::setCaption(const QString& text)
{
    TTransferProgressView::setCaption(text);
    setWindowTitle(text);
}

void TTransferDialog::setFileLine(const QString& text)
{
    TTransferProgressView::setFileLine(text);
    m_fileLine->setText(text);
}

void TTransferDialog::setPosition(int percent)
{
    TTransferProgressView::setPosition(percent);
    mirrorSoon();
}

void TTransferDialog::setProgressLine(const QString& text)
{
    TTransferProgressView::setProgressLine(text);
    mirrorSoon();
}

void TTransferDialog::setRateLine(const QString& text)
{
    TTransferProgressView::setRateLine(text);
    mirrorSoon();
}

void TTransferDialog::setTimeLine(const QString& text)
{
    TTransferProgressView::setTimeLine(text);
    mirrorSoon();
}

void TTransferDialog::setElapsedLine(const QString& text)
{
    TTransferProgressView::setElapsedLine(text);
    mirrorSoon();
}

// The lines change with every block; laying their text out each time costs more
// than the block itself. The view keeps every value at once; the widgets show
// them at most every MirrorInterval, and the last values always arrive.
void TTransferDialog::mirrorSoon()
{
    if (!m_mirrorClock.isValid() || m_mirrorClock.elapsed() >= MirrorInterval) {
        mirrorNow();
        return;
    }
    if (!m_mirrorTimer.isActive())
        m_mirrorTimer.start(MirrorInterval);
}

void TTransferDialog::mirrorNow()
{
    m_mirrorTimer.stop();
    m_mirrorClock.start();
    m_bar->setValue(qBound(0, Position, 100));
    m_progressLine->setText(ProgressLine);
    m_rateLine->setText(RateLine);
    m_timeLine->setText(TimeLine);
    m_elapsedLine->setText(ElapsedLine);
}

void TTransferDialog::setAnimation(TTransferClip clip)
{
    TTransferProgressView::setAnimation(clip);
    m_animation->setClip(clip);
    m_animation->start();
}

void TTransferDialog::stopAnimation()
{
    TTransferProgressView::stopAnimation();
    m_animation->stop();
}

void TTransferDialog::setFinished(const QString& closeCaption, bool enableOpenFile, bool enableOpenFolder)
{
    TTransferProgressView::setFinished(closeCaption, enableOpenFile, enableOpenFolder);
    mirrorNow();
    m_cancel->setText(closeCaption);
    if (m_openFile)
        m_openFile->setEnabled(enableOpenFile);
    if (m_openFolder)
        m_openFolder->setEnabled(enableOpenFolder);
}

void TTransferDialog::showProgress()
{
    TTransferProgressView::showProgress();
    mirrorNow();
    show();
    if (owner().AlwaysOnTop) {
        // Top-most as well, keeping the position and size it has.
        if (!(windowFlags() & Qt::WindowStaysOnTopHint)) {
            const QRect where = geometry();
            setWindowFlag(Qt::WindowStaysOnTopHint, true);
            setGeometry(where);
            show();
        }
        raise();
    }
}

void TTransferDialog::requestClose() { close(); }

void TTransferDialog::dispose()
{
    Visible = false;
    m_animation->stop();
    hide();
    deleteLater();
}

void TTransferDialog::reject()
{
    if (owner().DialogMayClose()) {
        Visible = false;
        QDialog::reject();
    }
}

void TTransferDialog::closeEvent(QCloseEvent* event)
{
    if (!owner().DialogMayClose()) {
        event->ignore();
        return;
    }
    Visible = false;
    event->accept();
}

void TTransferDialog::openAndClose(const QString& path)
{
    currentOpener()(path);
    owner().ReleaseDialog();
}
