#pragma once

// Remote control, as the command line asks for it: the web remote and API
// on --remote, OSC on --osc. Lives for the whole program, across the
// windows the start-up loop builds, and follows the one that runs.

#include "remoteendpoint.h"

#include <QObject>

#include <memory>
#include <optional>

class CPlaxonDlg;
class OscReceiver;
class PanelRemote;
class RemoteHttpServer;

struct RemoteSettings {
    std::optional<RemoteEndpoint> http;
    std::optional<RemoteEndpoint> osc;
    QList<AddressRange> oscAllowed = LoopbackRanges();
    QString tokenPath; // empty: PLAXONDATA/remote-token

    bool Any() const { return http || osc; }
};

class RemoteControl : public QObject {
    Q_OBJECT
public:
    explicit RemoteControl(RemoteSettings settings, QObject *parent = nullptr);
    ~RemoteControl() override;

    // Opens what the settings ask for; false with error when one cannot be.
    bool Start(QString *error);
    void Attach(CPlaxonDlg *panel);

    // http://ADDRESS:PORT/#token=TOKEN once the web remote listens.
    QString WebRemoteUrl() const;
    PanelRemote &Panel() { return *m_panel; }
    RemoteHttpServer *Http() { return m_http; }
    OscReceiver *Osc() { return m_osc; }

private:
    RemoteSettings m_settings;
    std::unique_ptr<PanelRemote> m_panel;
    QByteArray m_token;
    RemoteHttpServer *m_http = nullptr;
    OscReceiver *m_osc = nullptr;
};
