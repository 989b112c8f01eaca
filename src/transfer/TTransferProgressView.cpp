#include "TTransferProgressView.h"

#include "TTransfer.h"

namespace {
TTransferProgressView::Factory& viewFactory()
{
    static TTransferProgressView::Factory factory;
    return factory;
}
TLoginAsker& loginAsker()
{
    static TLoginAsker asker;
    return asker;
}
}  // namespace

void TTransferProgressView::requestClose()
{
    if (m_owner.DialogMayClose())
        Visible = false;
}

void TTransferProgressView::setFactory(Factory factory) { viewFactory() = std::move(factory); }

TTransferProgressView* TTransferProgressView::create(TTransfer& owner)
{
    if (viewFactory())
        return viewFactory()(owner);
    return new TTransferProgressView(owner);
}

void setLoginAsker(TLoginAsker asker) { loginAsker() = std::move(asker); }

bool askTransferLogin(const QString& caption, QString& user, QString& password)
{
    // Without a prompt to show, the question counts as cancelled.
    return loginAsker() ? loginAsker()(caption, user, password) : false;
}
