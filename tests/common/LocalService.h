#ifndef LOCALSERVICE_H
#define LOCALSERVICE_H

#include <QByteArray>
#include <QJsonObject>
#include <QPair>

#include <functional>

class QProcess;

// A client process's local service, reached as the portal page reaches it: with the page's
// origin and the device id.
class LocalService
{
public:
    // Waits until the client says where its service listens and reads the device id there.
    bool attach(QProcess* client);

    // Status and body; the dialog the request may open is answered by whatever runs meanwhile.
    QPair<int, QByteArray> send(const QByteArray& method,
                                const QByteArray& target,
                                const QByteArray& body = {},
                                const std::function<void()>& meanwhile = {});

    // The transfer as GET /transfers lists it; empty when it is not listed.
    QJsonObject transfer(const QString& id);

    // The Origin the requests carry.
    QByteArray origin;

private:
    quint16 m_port = 0;
    QByteArray m_deviceId;
};

#endif // LOCALSERVICE_H
