#include "TTransferProgressView.h"

#include "TTransfer.h"

namespace {
TTransferProgressView::Factory& ViewFactory()
{
    static TTransferProgressView::Factory factory;
    return factory;
}
TLoginAsker& LoginAsker()
{
    static TLoginAsker asker;
    return asker;
}
}  // namespace

void TTransferProgressView::RequestClose()
{
    if (m_owner.DialogMayClose())
        Visible = false;
}

void TTransferProgressView::SetFactory(Factory factory) { ViewFactory() = std::move(factory); }

TTransferProgressView* TTransferProgressView::Create(TTransfer& owner)
{
    if (ViewFactory())
        return ViewFactory()(owner);
    return new TTransferProgressView(owner);
}

void SetLoginAsker(TLoginAsker asker) { LoginAsker() = std::move(asker); }

bool AskTransferLogin(const QString& caption, QString& user, QString& password)
{
    // Without a prompt to show, the question counts as cancelled.
    return LoginAsker() ? LoginAsker()(caption, user, password) : false;
}
