#pragma once

#include "ProxySettings.h"
#include "ServicePairs.h"

#include <QObject>

#include <memory>

// Which document formats each route of the translation service takes, as its
// list of pairs says; asked in the background, so a window waits for nothing.
// Until the list has come (or when the service publishes none) no route takes any.
class ServiceFormats : public QObject {
    Q_OBJECT
public:
    explicit ServiceFormats(QObject* parent = nullptr);
    ~ServiceFormats() override;

    // Asks the service at `endpoint` (empty: the default one, started when it is the built-in
    // service) for its list, unless it has answered already or a question is under way.
    void refresh(const QString& endpoint, const ProxySettings& proxy);
    bool known() const { return m_known; }
    bool offers(const QString& sourceCode, const QString& targetCode, const QString& format) const;

signals:
    // The list came.
    void changed();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QList<ServicePair> m_pairs;
    bool m_known = false;
    bool m_asking = false;
};
