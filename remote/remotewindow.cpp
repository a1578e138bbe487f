#include "remotewindow.h"

#include "configmodel.h"
#include "qrcodeimage.h"
#include "remotepairing.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int QR_SCALE = 5;
constexpr int CLOCK_MS = 1000;
constexpr int CODE_POINT_SIZE = 22;
constexpr qint64 MS_PER_MINUTE = 60 * 1000;

enum Text { Title, Intro, CodeLabel, ValidFor, Used, Expired, NewCode, Forget, Paired, Close, ForgetFailed };

QString Tr(Text text)
{
    static const char *const texts[][2] = {
        {"Dálkové ovládání", "Remote control"},
        {"Otevřete tuto adresu na tabletu nebo načtěte kód QR. Stránka se spáruje a příště už kód nepotřebuje.",
         "Open this address on the tablet or scan the QR code. The page pairs and needs no code after that."},
        {"Kód pro spárování:", "Pairing code:"},
        {"Platí ještě %1 min, jen jednou.", "Valid for %1 more min, once."},
        {"Kód byl použit: pro další tablet vytvořte nový.", "The code was used: make a new one for another tablet."},
        {"Platnost kódu vypršela: vytvořte nový.", "The code has expired: make a new one."},
        {"Nový kód", "New code"},
        {"Zapomenout spárované tablety", "Forget paired tablets"},
        {"Spárované tablety: %1", "Paired tablets: %1"},
        {"Zavřít", "Close"},
        {"Tablety jsou zapomenuty, ale soubor nelze přepsat: %1", "The tablets are forgotten, but the file cannot be rewritten: %1"},
    };
    return QString::fromUtf8(texts[text][LangIndex()]);
}

} // namespace

RemoteWindow::RemoteWindow(RemotePairing &pairing, QString address, QWidget *parent)
    : QWidget(parent, Qt::Window), m_pairing(pairing), m_address(std::move(address))
{
    setObjectName(QStringLiteral("remoteWindow"));
    setWindowTitle(Tr(Title));
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(Tr(Intro), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    m_url = new QLabel(this);
    m_url->setObjectName(QStringLiteral("pairingUrl"));
    m_url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_url);

    auto *codeRow = new QHBoxLayout;
    codeRow->addWidget(new QLabel(Tr(CodeLabel), this));
    m_code = new QLabel(this);
    m_code->setObjectName(QStringLiteral("pairingCode"));
    m_code->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont codeFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    codeFont.setPointSize(CODE_POINT_SIZE);
    codeFont.setBold(true);
    m_code->setFont(codeFont);
    codeRow->addWidget(m_code);
    codeRow->addStretch();
    layout->addLayout(codeRow);

    m_validity = new QLabel(this);
    m_validity->setObjectName(QStringLiteral("pairingValidity"));
    layout->addWidget(m_validity);

    m_qr = new QLabel(this);
    m_qr->setObjectName(QStringLiteral("pairingQr"));
    m_qr->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_qr);

    m_devices = new QLabel(this);
    m_devices->setObjectName(QStringLiteral("pairedDevices"));
    m_devices->setWordWrap(true);
    layout->addWidget(m_devices);

    auto *buttons = new QHBoxLayout;
    m_newCode = new QPushButton(Tr(NewCode), this);
    m_newCode->setObjectName(QStringLiteral("newCode"));
    m_forget = new QPushButton(Tr(Forget), this);
    m_forget->setObjectName(QStringLiteral("forgetDevices"));
    auto *close = new QPushButton(Tr(Close), this);
    buttons->addWidget(m_newCode);
    buttons->addWidget(m_forget);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_newCode, &QPushButton::clicked, &m_pairing, &RemotePairing::RenewCode);
    connect(m_forget, &QPushButton::clicked, this, &RemoteWindow::ForgetDevices);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(&m_pairing, &RemotePairing::Changed, this, &RemoteWindow::ShowCode);
    connect(&m_clock, &QTimer::timeout, this, &RemoteWindow::ShowValidity);
    m_clock.setInterval(CLOCK_MS);
    ShowCode();
}

QString RemoteWindow::PairingUrl() const
{
    return QStringLiteral("http://%1/#pair=%2").arg(m_address, QString::fromLatin1(m_pairing.Code().Text()));
}

void RemoteWindow::showEvent(QShowEvent *event)
{
    // A code that can no longer be taken is of no use on the screen.
    m_pairing.EnsureUsableCode();
    m_clock.start();
    ShowCode();
    QWidget::showEvent(event);
}

void RemoteWindow::ShowCode()
{
    const QString url = PairingUrl();
    m_url->setText(url);
    m_code->setText(QString::fromLatin1(m_pairing.Code().Text()));
    m_qr->setPixmap(QPixmap::fromImage(QrCodeImage(url.toUtf8(), QR_SCALE)));
    m_devices->setText(Tr(Paired).arg(m_pairing.Devices().Count()));
    m_forget->setEnabled(m_pairing.Devices().Count() > 0);
    ShowValidity();
}

void RemoteWindow::ShowValidity()
{
    const PairingCode &code = m_pairing.Code();
    if (code.Usable()) {
        const qint64 minutes = (code.RemainingMs() + MS_PER_MINUTE - 1) / MS_PER_MINUTE;
        m_validity->setText(Tr(ValidFor).arg(minutes));
    } else {
        m_validity->setText(Tr(code.Used() ? Used : Expired));
    }
    m_qr->setEnabled(code.Usable());
}

void RemoteWindow::ForgetDevices()
{
    QString error;
    if (!m_pairing.ForgetDevices(&error))
        m_devices->setText(Tr(ForgetFailed).arg(error));
}
