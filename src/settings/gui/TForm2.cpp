#include "TForm2.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int ClientWidth = 330;
constexpr int ClientHeight = 178;
}  // namespace

TForm2::TForm2(QWidget* owner, const QIcon& productIcon, const QDate& today) : QDialog(owner)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(ClientWidth, ClientHeight);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(14, 14, 33, 33);
    Image1->setPixmap(productIcon.pixmap(QSize(33, 33)).scaled(33, 33, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(21);
    title.setStyleHint(QFont::SansSerif);
    const QString product = QStringLiteral("Linguaro Translator");
    // the window-text copy first, the silver one above it: a raised title with a dark edge
    Label1 = new QLabel(product, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(product, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    for (QLabel* label : {Label1, Label2}) {
        label->setFont(title);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->adjustSize();
    }
    Label1->move(62, 16);
    Label2->move(61, 15);
    QPalette silver = Label2->palette();
    silver.setColor(QPalette::WindowText, QColor(0xc0, 0xc0, 0xc0));
    Label2->setPalette(silver);
    QPalette ink = Label1->palette();
    ink.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    Label1->setPalette(ink);

    Label7 = new QLabel(QStringLiteral("Version: 6.2"), this);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->move(62, 46);
    Label7->adjustSize();

    Label4 = new QLabel(QStringLiteral("Copyright \u00a9 "), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(14, 78, ClientWidth - 28, 44);
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry((ClientWidth - 80) / 2, ClientHeight - 40, 80, 26);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    formCreate(today);
}

void TForm2::formCreate(const QDate& today)
{
    Label4->setText(Label4->text() + QString::number(today.year()) + QStringLiteral(" Brenmark. ")
                    + QStringLiteral("All rights reserved."));
}

void TForm2::about1Click(QWidget* owner, const QIcon& productIcon)
{
    TForm2 box(owner, productIcon);
    box.exec();
}
