#include "SourceLanguageBar.h"
#include "WindowObjectNames.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

SourceLanguageBar::SourceLanguageBar(QWidget* parent)
    : QFrame(parent), m_text(new QLabel(this)), m_accept(new QPushButton(this)), m_keep(new QPushButton(this))
{
    setObjectName(QLatin1String(ObjectName::sourceBar));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    m_text->setForegroundRole(QPalette::ToolTipText);
    m_text->setWordWrap(true);
    m_accept->setObjectName(QStringLiteral("SourceLanguageAccept"));
    m_keep->setObjectName(QStringLiteral("SourceLanguageKeep"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_accept);
    layout->addWidget(m_keep);
    // the question is answered by pressing a button, never by the Enter meant for the panes
    for (QPushButton* button : {m_accept, m_keep}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
    }
    connect(m_accept, &QPushButton::clicked, this, [this] {
        hide();
        emit accepted(m_question);
    });
    connect(m_keep, &QPushButton::clicked, this, [this] {
        hide();
        emit kept(m_question);
    });
    hide();
}

void SourceLanguageBar::ask(const SourceSuggestion::Question& question)
{
    m_question = question;
    m_text->setText(question.text);
    m_accept->setText(question.accept);
    m_keep->setText(question.keep);
    show();
}
