#include "stationlistener.h"

#include "stationconnection.h"

#include <QTcpSocket>

#include <cstdio>

namespace {

void Report(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

StationListener::StationListener(quint16 port, const StationOptions &options, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_options(options)
{
    m_refuseTimer.setSingleShot(true);
    connect(&m_refuseTimer, &QTimer::timeout, this, [this] {
        // The port may be taken meanwhile; keep trying, once a second.
        if (!Listen())
            m_refuseTimer.start(1000);
    });
    connect(&m_server, &QTcpServer::newConnection, this, &StationListener::OnNewConnection);
}

bool StationListener::Start()
{
    if (m_options.refuseForMs > 0) {
        // Check the port now, so a mistake shows at once rather than later.
        if (!Listen())
            return false;
        Refuse();
        return true;
    }
    return Listen();
}

bool StationListener::Listen()
{
    if (!m_server.listen(m_options.listenAddress, m_port)) {
        Report(QStringLiteral("port %1: cannot listen on %2: %3")
                   .arg(m_port)
                   .arg(m_options.listenAddress.toString(), m_server.errorString()));
        return false;
    }
    Report(QStringLiteral("port %1: listening on %2").arg(m_port).arg(m_options.listenAddress.toString()));
    return true;
}

void StationListener::Refuse()
{
    m_server.close();
    Report(QStringLiteral("port %1: refusing connections for %2 ms").arg(m_port).arg(m_options.refuseForMs));
    m_refuseTimer.start(m_options.refuseForMs);
}

void StationListener::OnNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        auto *connection = new StationConnection(socket, m_port, m_options, this);
        connect(connection, &StationConnection::recordReceived, this, &StationListener::recordReceived);
        connect(connection, &StationConnection::finished, this, [this](bool closedByLimit) {
            if (closedByLimit && m_options.refuseForMs > 0 && m_server.isListening())
                Refuse();
        });
    }
}
