#include "panelremote.h"

#include "connectionmanager.h"
#include "cplaxondlg.h"
#include "layouttypes.h"
#include "maintemplates.h"
#include "panelstatejson.h"

#include <QApplication>
#include <QEvent>

namespace {

RemoteOutcome Refused(const QString &reason)
{
    RemoteOutcome outcome;
    outcome.status = RemoteOutcome::Status::Refused;
    outcome.reason = reason;
    return outcome;
}

RemoteOutcome Done(const CommandDelivery &delivery, const QString &nothingSent)
{
    if (!delivery.Built())
        return Refused(nothingSent);
    RemoteOutcome outcome;
    outcome.status = RemoteOutcome::Status::Done;
    outcome.delivery = delivery;
    return outcome;
}

const QString kNoLinks = QStringLiteral("no station is connected");

} // namespace

PanelRemote::PanelRemote(QObject *parent) : QObject(parent)
{
    // Dialogs open and close without the panel knowing; observers must hear of it.
    if (qApp)
        qApp->installEventFilter(this);
}

PanelRemote::~PanelRemote()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void PanelRemote::Attach(CPlaxonDlg *panel)
{
    disconnect(m_changed);
    m_panel = panel;
    if (panel)
        m_changed = connect(panel, &CPlaxonDlg::StateChanged, this, &PanelRemote::StateChanged);
    emit StateChanged();
}

bool PanelRemote::DialogOpen() const
{
    // The panel runs modal itself: any other modal window is one of its dialogs.
    const QWidget *modal = QApplication::activeModalWidget();
    return m_panel && modal && modal != m_panel;
}

bool PanelRemote::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        const auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->isWindow() && widget->isModal())
            emit StateChanged();
    }
    return QObject::eventFilter(watched, event);
}

RemoteOutcome PanelRemote::Run(const RemoteCommand &command)
{
    if (!m_panel)
        return Refused(QStringLiteral("the panel is starting"));
    if (DialogOpen())
        return Refused(QStringLiteral("a dialog of the panel is open"));
    switch (command.action) {
    case RemoteAction::Launch:
        return RunLaunch(command.button);
    case RemoteAction::Brightness:
        return RunBrightness(command);
    case RemoteAction::Play:
    case RemoteAction::Pause:
    case RemoteAction::Stop:
        break;
    }
    if (LastTickLinkState() == LINKS_NONE)
        return Refused(kNoLinks);
    const int control = command.action == RemoteAction::Play    ? IDC_PLAY
                        : command.action == RemoteAction::Pause ? IDC_PAUSE
                                                                : IDC_STOP;
    return Done(m_panel->Press(control), kNoLinks);
}

RemoteOutcome PanelRemote::RunLaunch(int button)
{
    if (button < 1 || button > BUTTON_COUNT)
        return Refused(QStringLiteral("there is no button %1").arg(button));
    const int k = button - 1;
    if (!g_Buttons.BUTTON[k].ENABLE)
        return Refused(QStringLiteral("button %1 is not shown").arg(button));
    if (k >= ButtonsInView(g_Settings.DIALOG))
        return Refused(QStringLiteral("button %1 is out of view").arg(button));
    if (LastTickLinkState() == LINKS_NONE)
        return Refused(kNoLinks);
    return Done(m_panel->Press(IDC_LAUNCH_FIRST + k),
                QStringLiteral("button %1 has no program for an enabled station").arg(button));
}

RemoteOutcome PanelRemote::RunBrightness(const RemoteCommand &command)
{
    if (!g_Settings.BRIGHT_ENA)
        return Refused(QStringLiteral("brightness control is off"));
    unsigned char stations[STATION_COUNT] = {};
    bool any = false;
    for (int s = 0; s < STATION_COUNT; ++s) {
        const bool wanted = command.stations ? (*command.stations >> s) & 1u : m_panel->PcFlags()[s] != 0;
        // As on the panel: stations 2 to 4 can be ticked only while enabled.
        if (wanted && s > 0 && !g_Settings.PC[s].ENABLE)
            return Refused(QStringLiteral("station %1 is not enabled").arg(s + 1));
        stations[s] = wanted ? 1 : 0;
        any = any || wanted;
    }
    // Refused before the slider moves: nothing would be sent.
    if (!any)
        return Refused(QStringLiteral("no station is ticked"));
    return Done(m_panel->SendBrightnessTo(command.brightness, stations), QStringLiteral("brightness control is off"));
}

QJsonObject PanelRemote::State() const
{
    return PanelStateJson(m_panel, DialogOpen());
}

void PanelRemote::JournalRefusal(const QString &text)
{
    if (m_panel)
        m_panel->JournalRemark(text);
}
