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
class RemotePairing;
class RemoteWindow;

struct RemoteSettings {
    std::optional<RemoteEndpoint> http;
    std::optional<RemoteEndpoint> osc;
    QList<AddressRange> oscAllowed = LoopbackRanges();
    QString tokenPath; // empty: PLAXONDATA/remote-token
    QString devicesPath; // empty: PLAXONDATA/remote-devices

    bool Any() const { return http || osc; }
};

class RemoteControl : public QObject {
    Q_OBJECT
public:
    explicit RemoteControl(RemoteSettings settings, QObject *parent = nullptr);
    ~RemoteControl() override;

    // Opens what the settings ask for; false with error when one cannot be.
    bool Start(QString *error);
    // Follows panel; its link icon's context menu opens the Remote control window.
    void Attach(CPlaxonDlg *panel);

    // http://ADDRESS:PORT/#pair=CODE once the web remote listens: the page's
    // address with the pairing code now valid.
    QString WebRemoteUrl() const;
    // ADDRESS:PORT a tablet reaches the page at: for a wildcard listen
    // address, this machine's first network address.
    QString PageAddress() const;
    RemotePairing *Pairing() { return m_pairing; }
    // The Remote control window, made on first use (null without --remote).
    RemoteWindow *Window();
    // Opens the window, made anew when it was closed.
    void ShowWindow();
    PanelRemote &Panel() { return *m_panel; }
    RemoteHttpServer *Http() { return m_http; }
    OscReceiver *Osc() { return m_osc; }

private:
    RemoteSettings m_settings;
    std::unique_ptr<PanelRemote> m_panel;
    QByteArray m_token;
    RemoteHttpServer *m_http = nullptr;
    RemotePairing *m_pairing = nullptr;
    std::unique_ptr<RemoteWindow> m_window;
    OscReceiver *m_osc = nullptr;
};
