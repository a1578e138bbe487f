#include "remotecontrol.h"

#include "oscreceiver.h"
#include "panelremote.h"
#include "remotehttpserver.h"
#include "remotetoken.h"

RemoteControl::RemoteControl(RemoteSettings settings, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_panel(std::make_unique<PanelRemote>())
{
}

RemoteControl::~RemoteControl()
{
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
        m_http = new RemoteHttpServer(*m_panel, m_token, this);
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
}

QString RemoteControl::WebRemoteUrl() const
{
    if (!m_http || !m_settings.http)
        return QString();
    return QStringLiteral("http://%1/#token=%2")
        .arg(m_settings.http->Text(m_http->Port()), QString::fromLatin1(m_token));
}
