#include "LanguageListDelegate.h"

#include "LanguageFlags.h"
#include "LanguageTable.h"

#include <QPainter>
#include <QStylePainter>

QFont LanguageListDelegate::listFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(12);
    return font;
}

void LanguageListDelegate::drawItem(QPainter* painter, const QStyleOptionViewItem& option, int position,
                                    const QString& name)
{
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
    const QImage flag = LanguageTable::flagImage(position);
    if (!flag.isNull())
        painter->drawImage(option.rect.topLeft(), flag);
    painter->setFont(listFont());
    painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
    const QRect textRect = option.rect.adjusted(FlagWidth + 2, 0, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, name);
    painter->restore();
}

void LanguageListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    drawItem(painter, option, index.row(), index.data(Qt::DisplayRole).toString());
}

QSize LanguageListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QFontMetrics metrics(listFont());
    const int width = FlagWidth + 2 + metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 4;
    Q_UNUSED(option);
    return QSize(width, ItemHeight);
}

LanguageComboBox::LanguageComboBox(QWidget* parent) : QComboBox(parent)
{
    setItemDelegate(new LanguageListDelegate(this));
    setMaxVisibleItems(LanguageTable::Count);
    setFont(LanguageListDelegate::listFont());
}

void LanguageComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox box;
    initStyleOption(&box);
    box.currentText.clear();
    box.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, box);
    if (currentIndex() < 0)
        return;
    QStyleOptionViewItem item;
    item.palette = palette();
    item.state = QStyle::State_Enabled;
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &box, QStyle::SC_ComboBoxEditField, this);
    item.rect = QRect(field.left(), field.top() + (field.height() - LanguageListDelegate::ItemHeight) / 2,
                      field.width(), LanguageListDelegate::ItemHeight);
    // the closed box draws on the button's own face, not on a list background
    item.palette.setBrush(QPalette::Base, Qt::transparent);
    item.palette.setColor(QPalette::Text, palette().color(QPalette::ButtonText));
    LanguageListDelegate::drawItem(&painter, item, currentIndex(), currentText());
}
