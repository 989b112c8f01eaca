#pragma once

#include <QComboBox>
#include <QStyledItemDelegate>

// Draws one entry of a language list: the entry's flag at the item's top-left
// corner, its name 2 pixels to the right of the 16-pixel flag, on the brush
// the list gives the item (the highlight for the selected one).
class LanguageListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 14;
    static constexpr int FlagWidth = 16;

    using QStyledItemDelegate::QStyledItemDelegate;

    // The lists' font: Tahoma at 12 pixels, or the closest the system has.
    static QFont listFont();
    // One item: position (flag number), display name, rectangle.
    static void drawItem(QPainter* painter, const QStyleOptionViewItem& option, int position, const QString& name);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A language list that also shows the chosen entry's flag in its closed box.
class LanguageComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit LanguageComboBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
