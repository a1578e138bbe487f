#pragma once

// The small "Remote control" window, opened from the link icon's context
// menu: the web remote's address with the pairing code, the code itself and
// a QR code of the address for a tablet's camera. A new code can be made, and
// every paired tablet forgotten. It is no dialog of the panel: it is not
// modal, so the panel and the remote go on working while it is open.

#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;
class RemotePairing;

class RemoteWindow : public QWidget {
    Q_OBJECT
public:
    // address: "ADDRESS:PORT" a tablet reaches the page at.
    RemoteWindow(RemotePairing &pairing, QString address, QWidget *parent = nullptr);

    // http://ADDRESS:PORT/#pair=CODE for the code now shown.
    QString PairingUrl() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ShowCode();
    void ShowValidity();
    void ForgetDevices();

    RemotePairing &m_pairing;
    QString m_address;
    QLabel *m_url = nullptr;
    QLabel *m_code = nullptr;
    QLabel *m_qr = nullptr;
    QLabel *m_validity = nullptr;
    QLabel *m_devices = nullptr;
    QPushButton *m_newCode = nullptr;
    QPushButton *m_forget = nullptr;
    QTimer m_clock;
};
