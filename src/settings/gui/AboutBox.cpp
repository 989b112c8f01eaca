#include "AboutBox.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int ClientWidth = 330;
constexpr int ClientHeight = 178;
}  // namespace

AboutBox::AboutBox(QWidget* owner, const QIcon& productIcon, const QDate& today) : QDialog(owner)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(ClientWidth, ClientHeight);

    productImage = new QLabel(this);
    productImage->setObjectName(QStringLiteral("Image1"));
    productImage->setGeometry(14, 14, 33, 33);
    productImage->setPixmap(
        productIcon.pixmap(QSize(33, 33)).scaled(33, 33, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(21);
    title.setStyleHint(QFont::SansSerif);
    const QString product = QStringLiteral("Linguaro Translator");
    // the window-text copy first, the silver one above it: a raised title with a dark edge
    titleLabel = new QLabel(product, this);
    titleLabel->setObjectName(QStringLiteral("Label1"));
    titleHighlight = new QLabel(product, this);
    titleHighlight->setObjectName(QStringLiteral("Label2"));
    for (QLabel* label : {titleLabel, titleHighlight}) {
        label->setFont(title);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->adjustSize();
    }
    titleLabel->move(62, 16);
    titleHighlight->move(61, 15);
    QPalette silver = titleHighlight->palette();
    silver.setColor(QPalette::WindowText, QColor(0xc0, 0xc0, 0xc0));
    titleHighlight->setPalette(silver);
    QPalette ink = titleLabel->palette();
    ink.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    titleLabel->setPalette(ink);

    versionLabel = new QLabel(QStringLiteral("Version: 6.2"), this);
    versionLabel->setObjectName(QStringLiteral("Label7"));
    versionLabel->move(62, 46);
    versionLabel->adjustSize();

    noticeLabel = new QLabel(QStringLiteral("Copyright \u00a9 "), this);
    noticeLabel->setObjectName(QStringLiteral("Label4"));
    noticeLabel->setGeometry(14, 78, ClientWidth - 28, 44);
    noticeLabel->setWordWrap(true);
    noticeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("Button1"));
    okButton->setGeometry((ClientWidth - 80) / 2, ClientHeight - 40, 80, 26);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    formCreate(today);
}

void AboutBox::formCreate(const QDate& today)
{
    noticeLabel->setText(noticeLabel->text() + QString::number(today.year()) + QStringLiteral(" Brenmark. ")
                         + QStringLiteral("All rights reserved."));
}

void AboutBox::showAbout(QWidget* owner, const QIcon& productIcon)
{
    AboutBox box(owner, productIcon);
    box.exec();
}
