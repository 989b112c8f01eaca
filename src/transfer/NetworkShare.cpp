#include "NetworkShare.h"

NetworkShare::NetworkShare(const QString& name) : m_name(name) {}
QString NetworkShare::LocalPath() const { return m_name; }
bool NetworkShare::Connect(const QString&, const QString&) { return false; }
bool NetworkShare::Disconnect() { return false; }
