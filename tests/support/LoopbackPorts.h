#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

// Ports on 127.0.0.1 for tests that start servers of their own.
namespace LoopbackPorts {

// A port that nothing listens on right now.
inline quint16 free()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Whether something accepts connections on the port.
inline bool answers(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return socket.waitForConnected(1000);
}

}  // namespace LoopbackPorts
