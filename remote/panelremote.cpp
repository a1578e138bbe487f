#include "panelremote.h"

#include "cplaxondlg.h"
#include "panelstatejson.h"

#include <QApplication>
#include <QEvent>

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
    return m_panel && m_panel->Commands().DialogOpen();
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

RemoteOutcome PanelRemote::Run(const RemoteCommand &command, const CommandSource &source)
{
    RemoteOutcome outcome;
    if (!m_panel) {
        outcome.reason = QStringLiteral("the panel is starting");
        return outcome;
    }
    const CommandOutcome result = m_panel->Commands().Run(command, source);
    if (!result.Sent()) {
        outcome.reason = result.refusal.Text();
        return outcome;
    }
    outcome.status = RemoteOutcome::Status::Done;
    outcome.delivery = result.delivery;
    return outcome;
}

QJsonObject PanelRemote::State() const
{
    return PanelStateJson(m_panel, DialogOpen());
}

void PanelRemote::JournalRefusal(const QString &text, const QString &source)
{
    if (m_panel)
        m_panel->JournalRemark(text, source);
}
