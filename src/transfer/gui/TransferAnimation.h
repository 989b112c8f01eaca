#pragma once

#include "TTransferProgressView.h"

#include <QTimer>
#include <QWidget>

// The dialog's animation clips, drawn in code: a page travelling from a globe
// to a folder (download), back (upload), or between two folders (copy).
class TransferAnimation : public QWidget {
    Q_OBJECT
public:
    static constexpr int ClipWidth = 280;
    static constexpr int ClipHeight = 56;

    explicit TransferAnimation(QWidget* parent = nullptr);

    void setClip(TTransferClip clip);
    void start();
    void stop();
    bool isPlaying() const { return m_timer.isActive(); }
    TTransferClip clip() const { return m_clip; }
    QSize sizeHint() const override { return {ClipWidth, ClipHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawFolder(QPainter& p, const QRect& r) const;
    void drawGlobe(QPainter& p, const QRect& r) const;

    TTransferClip m_clip = TTransferClip::Download;
    QTimer m_timer;
    int m_frame = 0;
};
