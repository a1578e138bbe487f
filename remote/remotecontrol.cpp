#include "remotecontrol.h"

#include "oscreceiver.h"
#include "panelremote.h"
#include "remotehttpserver.h"
#include "remotepairing.h"
#include "remotetoken.h"
#include "remotewindow.h"

#include "cplaxondlg.h"
#include "maintemplates.h"

#include <QLabel>
#include <QMenu>
#include <QNetworkInterface>

namespace {

QString MenuText()
{
    return QString::fromUtf8(LangIndex() == 1 ? "Remote control…" : "Dálkové ovládání…");
}

bool IsWildcard(const QHostAddress &address)
{
    return address == QHostAddress(QHostAddress::AnyIPv4) || address == QHostAddress(QHostAddress::AnyIPv6)
           || address == QHostAddress(QHostAddress::Any);
}

// An address of this machine another one can reach: the first IPv4 address
// of an interface that is up and no loopback.
QHostAddress NetworkAddress()
{
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries())
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && !entry.ip().isLoopback())
                return entry.ip();
    }
    return QHostAddress(QHostAddress::LocalHost);
}

} // namespace

RemoteControl::RemoteControl(RemoteSettings settings, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_panel(std::make_unique<PanelRemote>())
{
}

RemoteControl::~RemoteControl()
{
    m_window.reset();
    // The servers go first: nothing may reach the panel bridge after it.
    delete m_http;
    delete m_osc;
}

bool RemoteControl::Start(QString *error)
{
    if (m_settings.http) {
        const QString path = m_settings.tokenPath.isEmpty() ? RemoteToken::DefaultPath() : m_settings.tokenPath;
        m_token = RemoteToken::LoadOrCreate(path, error);
        if (m_token.isEmpty())
            return false;
        m_pairing = new RemotePairing(
            m_settings.devicesPath.isEmpty() ? DeviceTokens::DefaultPath() : m_settings.devicesPath, PairingCode::VALIDITY,
            this);
        if (!m_pairing->Load(error))
            return false;
        m_http = new RemoteHttpServer(*m_panel, m_token, this);
        m_http->UsePairing(m_pairing);
        connect(m_pairing, &RemotePairing::DevicesForgotten, m_http, &RemoteHttpServer::DropRevokedStreams);
        QString why;
        if (!m_http->Listen(m_settings.http->address, m_settings.http->port, &why)) {
            *error = QStringLiteral("cannot serve the web remote on %1: %2")
                         .arg(m_settings.http->Text(m_settings.http->port), why);
            return false;
        }
    }
    if (m_settings.osc) {
        m_osc = new OscReceiver(*m_panel, m_settings.oscAllowed, this);
        QString why;
        if (!m_osc->Listen(m_settings.osc->address, m_settings.osc->port, &why)) {
            *error = QStringLiteral("cannot take OSC on %1: %2").arg(m_settings.osc->Text(m_settings.osc->port), why);
            return false;
        }
    }
    return true;
}

void RemoteControl::Attach(CPlaxonDlg *panel)
{
    m_panel->Attach(panel);
    auto *icon = panel && m_http ? qobject_cast<QLabel *>(panel->GetDlgItem(IDC_LINK_ICON)) : nullptr;
    if (!icon)
        return;
    icon->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(icon, &QWidget::customContextMenuRequested, this, [this, icon](const QPoint &at) {
        QMenu menu(icon);
        menu.addAction(MenuText(), this, &RemoteControl::ShowWindow);
        menu.exec(icon->mapToGlobal(at));
    });
}

QString RemoteControl::PageAddress() const
{
    if (!m_http || !m_settings.http)
        return QString();
    RemoteEndpoint shown = *m_settings.http;
    if (IsWildcard(shown.address))
        shown.address = NetworkAddress();
    return shown.Text(m_http->Port());
}

QString RemoteControl::WebRemoteUrl() const
{
    if (!m_http || !m_pairing)
        return QString();
    return QStringLiteral("http://%1/#pair=%2").arg(PageAddress(), QString::fromLatin1(m_pairing->Code().Text()));
}

RemoteWindow *RemoteControl::Window()
{
    if (!m_window && m_pairing)
        m_window = std::make_unique<RemoteWindow>(*m_pairing, PageAddress());
    return m_window.get();
}

void RemoteControl::ShowWindow()
{
    // Made anew each time it opens, so it speaks the language the panel has now.
    if (m_window && !m_window->isVisible())
        m_window.reset();
    if (RemoteWindow *window = Window()) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}
