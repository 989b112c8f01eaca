#include "PaneArea.h"

#include <QTextEdit>

#include <algorithm>

PaneArea::PaneArea(QTextEdit* source, QTextEdit* target, int targetHeight, QWidget* parent)
    : QWidget(parent), m_source(source), m_target(target), m_targetHeight(targetHeight)
{
    m_source->setParent(this);
    m_target->setParent(this);
}

void PaneArea::setTargetHeight(int height)
{
    m_targetHeight = std::max(0, height);
    layoutPanes();
}

QSize PaneArea::sizeHint() const { return QSize(781, 420); }

QSize PaneArea::minimumSizeHint() const { return QSize(100, 40); }

void PaneArea::resizeEvent(QResizeEvent*)
{
    layoutPanes();
    emit laidOut();
}

void PaneArea::layoutPanes()
{
    const int total = height();
    const int target = std::min(m_targetHeight, total);
    m_target->setGeometry(0, total - target, width(), target);
    m_source->setGeometry(0, 0, width(), total - target);
}
