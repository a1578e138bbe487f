#include "cplaxondlg.h"

#include "accelerators.h"
#include "buttonsetfile.h"
#include "codepage.h"
#include "commandsender.h"
#include "configdlg.h"
#include "configmodel.h"
#include "controlmessages.h"
#include "dialogtemplates_dialogs.h"
#include "editmain.h"
#include "filedialogs.h"
#include "layouttypes.h"
#include "maintemplates.h"
#include "maintooltips.h"
#include "messagebox.h"
#include "messagetexts.h"
#include "mycbutton.h"
#include "resourceicons.h"
#include "settingsfile.h"
#include "tooltip.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QShortcut>
#include <QSlider>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr int TIMER_MS = 500;
const char *const kTitlePrefix = "Plaxon " PLAXON_VERSION " ";

const char *TitleFor(int32_t state)
{
    switch (state) {
    case LINKS_FULL: return "(full connected)";
    case LINKS_PARTIAL: return "(partially connected)";
    default: return "(not connected)";
    }
}

FileDialogRequest ButtonSetDialog(FileDialogRequest::Kind kind)
{
    FileDialogRequest request;
    request.kind = kind;
    request.filter = QStringLiteral("Plaxon User Config Files (*.PUC)");
    request.startFolder = QString::fromLatin1(DATA_DIR);
    if (kind == FileDialogRequest::Save)
        request.defaultSuffix = QStringLiteral("puc");
    return request;
}

// The chosen file in the records' code page, or nothing when its name does
// not fit LASTPROG / LASTFNAME or would not survive the conversion.
bool FitsRecords(const FileDialogResult &chosen, QByteArray &name, QByteArray &path)
{
    if (chosen.fileName.isEmpty() || chosen.path.isEmpty()
        || FitAnsiField(chosen.fileName, qsizetype(sizeof g_Settings.LASTPROG)) != AnsiFit::Fits
        || FitAnsiField(chosen.path, qsizetype(sizeof g_Settings.LASTFNAME)) != AnsiFit::Fits)
        return false;
    name = QStringToAnsi(chosen.fileName);
    path = QStringToAnsi(chosen.path);
    return true;
}

// The window whose journal hears about the links; a window that is not it
// must not silence its successor's.
const CPlaxonDlg *g_LinkJournalOwner = nullptr;

QString Tr(const char *czech, const char *english)
{
    return QString::fromUtf8(LangIndex() == 1 ? english : czech);
}

bool ButtonTableEmpty()
{
    for (const ButtonRecord &b : g_Buttons.BUTTON) {
        if (b.ENABLE || b.INLINE || b.COLOR || b.NAME[0] != '\0')
            return false;
        for (const char *program : b.PROGRAM)
            if (program[0] != '\0')
                return false;
    }
    return true;
}

QString EmptyPanelHint()
{
    return QString::fromUtf8(LangIndex() == 1
        ? "No launch buttons yet.\n\nLoad a button set with the yellow folder button at the top left, or set up "
          "the stations with the gear button at the top right and then the buttons with the grid-and-pencil button."
        : "Zatím tu nejsou žádná tlačítka.\n\nNačtěte sadu tlačítek tlačítkem se žlutou složkou vlevo nahoře, "
          "nebo nastavte stanice tlačítkem s ozubeným kolem vpravo nahoře a potom tlačítka tlačítkem s mřížkou a "
          "tužkou.");
}

} // namespace

CPlaxonDlg::CPlaxonDlg(int templateId, QWidget *parent, LookupFunction lookup)
    : MyCDialog(templateId, parent), m_links(std::move(lookup))
{
    RegisterMainTemplates();
    setWindowIcon(ResourceIcon(IDI_PLAXON));
    m_timer.setInterval(TIMER_MS);
    connect(&m_timer, &QTimer::timeout, this, &CPlaxonDlg::TimerTick);
    for (const Accelerator &a : ACCELERATORS_140) {
        auto *shortcut = new QShortcut(QKeySequence(a.key), this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        const int command = a.command;
        connect(shortcut, &QShortcut::activated, this, [this, command] { OnAccelerator(command); });
    }
}

CPlaxonDlg::~CPlaxonDlg()
{
    m_timer.stop();
    // A rebuild does not wait on a lookup that hangs: the old resolver stores
    // nothing once let go, and the next window's takes over at once.
    m_links.Shutdown(result() == RESTART_RESULT ? Resolver::RETIRE_WAIT : Resolver::STOP_WAIT);
    if (g_LinkJournalOwner == this) {
        SetLinkObserver({});
        g_LinkJournalOwner = nullptr;
    }
}

QWidget *CPlaxonDlg::CreateControl(const DialogControl &control, QWidget *parent)
{
    if (control.id >= IDC_LAUNCH_FIRST && control.id <= IDC_LAUNCH_LAST) {
        auto *button = new MyCButton(parent);
        m_launch[control.id - IDC_LAUNCH_FIRST] = button;
        return button;
    }
    return nullptr;
}

bool CPlaxonDlg::OnInitDialog()
{
    MyCDialog::OnInitDialog();
    SetEnterMovesFocus();
    m_slider = DlgItem<QSlider>(IDC_BRIGHT_SLIDER);
    setWindowIcon(ResourceIcon(IDI_PLAXON));
    CutToLayout();
    m_emptyHint = new QLabel(this);
    m_emptyHint->setObjectName(QStringLiteral("emptyHint"));
    m_emptyHint->setWordWrap(true);
    m_emptyHint->setAlignment(Qt::AlignCenter);
    m_emptyHint->hide();
    LoadButtonSet(g_Settings.LASTFNAME);
    m_reachable = ReachableStations();
    Refresh();
    SetIcons();
    for (int i = 0; i < STATION_COUNT; ++i)
        BindCheck(IDC_PC1 + i, &m_pc[i]);
    UpdateControls();
    g_LinkJournalOwner = this;
    SetLinkObserver([this](int link, LinkEvent event, int error) { OnLinkEvent(link, event, error); });
    m_links.Start();
    m_timer.start();
    setWindowTitle(QString::fromLatin1(kTitlePrefix) + QString::fromLatin1(TitleFor(LINKS_NONE)));
    ShowLinkState(LINKS_NONE);
    for (int i = 0; i < ControlCount(); ++i)
        if (QWidget *w = ControlAt(i))
            w->installEventFilter(this);
    return true;
}

void CPlaxonDlg::CutToLayout()
{
    const int cut = CutButtonForLayout(g_Settings.DIALOG);
    QWidget *button = cut ? GetDlgItem(cut) : nullptr;
    if (!button)
        return;
    setFixedHeight(button->y()); // the buttons below stay in the window, out of view
    // A button nobody can see must not launch a show: it takes no focus, so
    // neither Tab, Enter nor Space ever reaches it.
    for (int i = 0; i < ControlCount(); ++i)
        if (QWidget *w = ControlAt(i); w && w->y() >= height())
            w->setFocusPolicy(Qt::NoFocus);
}

void CPlaxonDlg::SetIcons()
{
    static const struct { int control; int icon; } buttons[] = {
        {IDC_LOAD, IDI_LOAD}, {IDC_SAVE_AS, IDI_SAVE_AS}, {IDC_EDITOR, IDI_EDITOR}, {IDC_PLAY, IDI_PLAY},
        {IDC_PAUSE, IDI_PAUSE}, {IDC_STOP, IDI_STOP}, {IDC_BRIGHT_SET, IDI_BRIGHT_SET}, {IDC_SETTINGS, IDI_SETTINGS},
    };
    for (const auto &b : buttons) {
        if (auto *button = DlgItem<QAbstractButton>(b.control)) {
            button->setIcon(ResourceIcon(b.icon));
            button->setIconSize(QSize(16, 16));
        }
    }
    if (auto *icon = DlgItem<QLabel>(IDC_BRIGHT_ICON))
        icon->setPixmap(ResourceIcon(IDI_BRIGHTNESS).pixmap(16, 16));
}

void CPlaxonDlg::ShowLinkState(int32_t state)
{
    setWindowTitle(QString::fromLatin1(kTitlePrefix) + QString::fromLatin1(TitleFor(state)));
    if (auto *icon = DlgItem<QLabel>(IDC_LINK_ICON)) {
        const int side = std::min(icon->width(), icon->height());
        icon->setPixmap(ResourceIcon(state == LINKS_FULL ? IDI_LINKS_FULL : IDI_LINKS_DOWN).pixmap(side, side));
        icon->setProperty("iconId", state == LINKS_FULL ? IDI_LINKS_FULL : IDI_LINKS_DOWN);
    }
}

void CPlaxonDlg::Refresh()
{
    ShowRange(IDC_BRIGHT_GROUP, IDC_BRIGHT_SET, g_Settings.BRIGHT_ENA != 0);
    bool markers = false;
    for (int s = 1; s < STATION_COUNT; ++s) {
        const bool on = g_Settings.PC[s].ENABLE != 0;
        EnableControl(IDC_PC1 + s, on);
        if (!on)
            m_pc[s] = 0;
        markers = markers || on;
    }
    for (int k = 0; k < BUTTON_COUNT; ++k) {
        MyCButton *button = m_launch[k];
        if (!button)
            continue;
        const ButtonRecord &record = g_Buttons.BUTTON[k];
        if (record.ENABLE) {
            uint32_t flags = 0;
            for (int s = 0; s < STATION_COUNT; ++s)
                if (markers && g_Settings.PC[s].ENABLE && record.PROGRAM[s][0] != '\0')
                    flags |= 1u << s;
            if (record.INLINE)
                flags |= MyCButton::INLINE_BIT;
            button->SetFlags(flags);
            button->SetColor(record.COLOR);
            button->SetUnreachable(~m_reachable);
            ShowControl(IDC_LAUNCH_FIRST + k, true);
            // Shown as typed: an '&' in a caption is no mnemonic, so no key
            // combination can launch a show by accident.
            button->setText(FieldToQString(record.NAME).replace(QLatin1Char('&'), QStringLiteral("&&")));
        } else {
            ShowControl(IDC_LAUNCH_FIRST + k, false);
            button->setText(QString());
        }
        button->update();
    }
    SetControlTextOf(IDC_PROGRAM_NAME, FieldToQString(g_Settings.LASTPROG));
    UpdateControls();
    UpdateEmptyHint();
    emit StateChanged();
}

void CPlaxonDlg::UpdateEmptyHint()
{
    if (!m_emptyHint)
        return;
    // Buttons below the window's cut are out of view: they do not count.
    const int inView = ButtonsInView(g_Settings.DIALOG);
    QRect area;
    bool anyShown = false;
    for (int k = 0; k < inView; ++k) {
        if (!m_launch[k])
            continue;
        area |= m_launch[k]->geometry();
        anyShown = anyShown || g_Buttons.BUTTON[k].ENABLE;
    }
    if (anyShown || area.isEmpty()) {
        m_emptyHint->hide();
        return;
    }
    m_emptyHint->setText(EmptyPanelHint());
    m_emptyHint->setGeometry(area.adjusted(area.width() / 8, 0, -area.width() / 8, 0));
    m_emptyHint->show();
}

void CPlaxonDlg::ApplyReachability(uint32_t reachable)
{
    const uint32_t changed = (reachable ^ m_reachable) & MyCButton::MARKER_BITS;
    if (!changed)
        return;
    m_reachable = reachable;
    for (MyCButton *button : m_launch) {
        if (!button)
            continue;
        button->SetUnreachable(~reachable);
        if (button->Flags() & changed)
            button->update();
    }
}

void CPlaxonDlg::OnLinkEvent(int link, LinkEvent event, int error)
{
    m_journal.AppendLinkEvent(link, event, error);
    if (event != LinkEvent::Lost)
        return;
    const int station = link / PORTS_PER_STATION;
    const uint32_t reachable = ReachableStations();
    ApplyReachability(reachable);
    // A station that drops must be noticed even by an operator looking at
    // another screen; one closed by the panel itself is no news.
    if (!(reachable & (1u << station))) {
        QApplication::alert(this);
        emit AttentionRequested(station + 1);
    }
}

void CPlaxonDlg::Sent(const CommandDelivery &delivery)
{
    if (!delivery.Built())
        return;
    m_lastDelivery = delivery;
    emit StateChanged();
}

uint32_t CPlaxonDlg::MarkersOf(int button) const
{
    if (button < 0 || button >= BUTTON_COUNT || !m_launch[button])
        return 0;
    return m_launch[button]->Flags() & MyCButton::MARKER_BITS;
}

void CPlaxonDlg::RunFromPanel(const PanelCommand &command, QWidget *at)
{
    const CommandOutcome outcome = m_commands.Run(command, CommandSource::Panel());
    if (!outcome.Sent())
        ShowNothingSent(at, outcome.refusal);
    emit StateChanged();
}

void CPlaxonDlg::ShowNothingSent(QWidget *at, const Refusal &refusal)
{
    if (!at || !at->isVisible())
        return;
    // Shown where the operator looks, for a moment; it takes no input.
    const QString text = Tr("Nic neodesláno: %1", "Nothing sent: %1").arg(refusal.LocalText());
    QToolTip::showText(at->mapToGlobal(QPoint(at->width() / 2, at->height())), PlainToolTipText(text), at, QRect(),
                       REFUSAL_TIP_MS);
}

void CPlaxonDlg::MarkLastLaunch(int button)
{
    if (button == m_lastLaunch)
        return;
    if (m_lastLaunch >= 0 && m_launch[m_lastLaunch])
        m_launch[m_lastLaunch]->SetLastLaunch(false);
    m_lastLaunch = button;
    if (button >= 0 && m_launch[button])
        m_launch[button]->SetLastLaunch(true);
    emit StateChanged();
}

void CPlaxonDlg::SetControlTextOf(int id, const QString &text)
{
    if (QWidget *w = GetDlgItem(id))
        SetControlText(w, text);
}

void CPlaxonDlg::TimerTick()
{
    const ConnectionManager::TickResult tick = m_links.TimerTick();
    if (tick.shownStateChanged)
        ShowLinkState(m_links.ShownState());
    ApplyReachability(ReachableStations());
    emit StateChanged();
}

bool CPlaxonDlg::OnCmdMsg(int code, int id, QWidget *control)
{
    if (code != BN_CLICKED)
        return MyCDialog::OnCmdMsg(code, id, control);
    if (id >= IDC_LAUNCH_FIRST && id <= IDC_LAUNCH_LAST) {
        PanelCommand launch;
        launch.action = PanelAction::Launch;
        launch.button = id - IDC_LAUNCH_FIRST + 1;
        RunFromPanel(launch, control);
        return true;
    }
    const auto transport = [this, control](PanelAction action) {
        PanelCommand command;
        command.action = action;
        RunFromPanel(command, control);
    };
    switch (id) {
    case IDC_PLAY: transport(PanelAction::Play); return true;
    case IDC_PAUSE: transport(PanelAction::Pause); return true;
    case IDC_STOP: transport(PanelAction::Stop); return true;
    case IDC_BRIGHT_SET: OnAccelerator(ID_BRIGHT_SEND); return true;
    case IDC_SETTINGS: OnSettings(); return true;
    case IDC_EDITOR: OnButtonEditor(); return true;
    case IDC_LOAD: OnLoad(); return true;
    case IDC_SAVE_AS: OnSaveAs(); return true;
    default: return MyCDialog::OnCmdMsg(code, id, control);
    }
}

void CPlaxonDlg::OnAccelerator(int command)
{
    switch (command) {
    case ID_PC1_TOGGLE:
    case ID_PC2_TOGGLE:
    case ID_PC3_TOGGLE:
    case ID_PC4_TOGGLE: {
        const int s = command - ID_PC1_TOGGLE;
        if (s == 0 || g_Settings.PC[s].ENABLE) {
            m_pc[s] = m_pc[s] ? 0 : 1;
            UpdateControls();
        }
        break;
    }
    case ID_BRIGHT_DOWN:
        m_brightness = m_brightness < 10 ? 0 : m_brightness - 10;
        if (m_slider)
            m_slider->setValue(m_brightness);
        break;
    case ID_BRIGHT_UP:
        m_brightness = m_brightness > 90 ? 100 : m_brightness + 10;
        if (m_slider)
            m_slider->setValue(m_brightness);
        break;
    case ID_BRIGHT_SEND: {
        PanelCommand bright;
        bright.action = PanelAction::Brightness;
        bright.brightness = m_slider ? m_slider->value() : m_brightness;
        RunFromPanel(bright, GetDlgItem(IDC_BRIGHT_SET));
        break;
    }
    default:
        break;
    }
    emit StateChanged();
}

void CPlaxonDlg::OnScroll(int message, int code, int position, QWidget *control)
{
    if (message == WM_HSCROLL && control == m_slider) {
        switch (code) {
        case TB_LINEUP:
        case TB_LINEDOWN:
        case TB_PAGEUP:
        case TB_PAGEDOWN:
        case TB_THUMBTRACK:
            m_brightness = position;
            break;
        default:
            break;
        }
    }
    MyCDialog::OnScroll(message, code, position, control);
    emit StateChanged();
}

int CPlaxonDlg::RunSettingsDialog()
{
    ConfigDlg dialog(this);
    return dialog.DoModal();
}

int CPlaxonDlg::RunButtonEditor()
{
    EditMain editor(this);
    return editor.DoModal();
}

void CPlaxonDlg::OnSettings()
{
    m_timer.stop();
    m_links.ChangeSettings([this] { EditSettings(); });
    m_timer.start();
}

void CPlaxonDlg::EditSettings()
{
    const int result = RunSettingsDialog();
    const bool saved = SaveSettings() == 0;
    if (result == RESTART_RESULT)
        done(RESTART_RESULT);
    if (saved) {
        LoadSettings();
    } else {
        // Reloading would throw away what the operator has just entered:
        // derive from the record in memory what a load would have derived.
        ReportSaveFailure(QString::fromLatin1(SETTINGS_PATH));
        NormalizeSettings();
    }
    Refresh();
}

void CPlaxonDlg::OnButtonEditor()
{
    const int result = RunButtonEditor();
    MarkLastLaunch(-1);
    if (g_Settings.LASTFNAME[0] != '\0') {
        SaveButtonSetTo(g_Settings.LASTFNAME);
    } else if (result == IDOK && !ButtonTableEmpty()) {
        // A set built in a fresh folder has no file to go to: without one it
        // would be gone at the next start.
        OnSaveAs(Tr("Uložit novou sadu tlačítek", "Save the new button set"));
    }
    Refresh();
}

bool CPlaxonDlg::ButtonSetUnsaved() const
{
    return m_saveFailed || (g_Settings.LASTFNAME[0] == '\0' && !ButtonTableEmpty());
}

void CPlaxonDlg::SaveButtonSetTo(const char *path)
{
    m_saveFailed = SaveButtonSet(path) != 0;
    if (m_saveFailed)
        ReportSaveFailure(AnsiToQString(path));
}

bool CPlaxonDlg::ChooseButtonSetFile(int kind, const QString &title)
{
    FileDialogRequest request = ButtonSetDialog(FileDialogRequest::Kind(kind));
    request.title = title;
    const FileDialogResult chosen = RunFileDialog(request);
    if (!chosen.accepted)
        return false;
    QByteArray name, path;
    if (!FitsRecords(chosen, name, path)) {
        ShowMessageBox(this, MessageTextFor(MessageText::FileNameError).arg(chosen.path), ErrorCaption(), MsgIcon::Error);
        return false;
    }
    CopyText(g_Settings.LASTPROG, name.constData());
    CopyText(g_Settings.LASTFNAME, path.constData());
    if (SaveSettings() != 0)
        ReportSaveFailure(QString::fromLatin1(SETTINGS_PATH));
    return true;
}

void CPlaxonDlg::OnLoad()
{
    if (!ChooseButtonSetFile(FileDialogRequest::Open))
        return;
    MarkLastLaunch(-1);
    LoadButtonSet(g_Settings.LASTFNAME);
    m_saveFailed = false; // what is in the panel now is what the file holds
    Refresh();
}

void CPlaxonDlg::OnSaveAs(const QString &title)
{
    if (!ChooseButtonSetFile(FileDialogRequest::Save, title))
        return;
    SaveButtonSetTo(g_Settings.LASTFNAME);
    Refresh();
}

bool CPlaxonDlg::MayCloseWithUnsavedSet()
{
    if (!ButtonSetUnsaved())
        return true;
    switch (ShowMessageBox(this, MessageTextFor(MessageText::UnsavedButtonSet), QStringLiteral("Plaxon"),
                           MsgIcon::Question, MsgButtons::YesNoCancel)) {
    case MSG_YES:
        OnSaveAs();
        return !ButtonSetUnsaved();
    case MSG_NO:
        return true;
    default:
        return false;
    }
}

void CPlaxonDlg::ReportSaveFailure(const QString &file)
{
    ShowMessageBox(this, MessageTextFor(MessageText::SaveError).arg(file), ErrorCaption(), MsgIcon::Error);
}

void CPlaxonDlg::OnCancel()
{
    if (!MayCloseWithUnsavedSet())
        return;
    m_links.Shutdown();
    m_timer.stop();
    MyCDialog::OnCancel();
}

QString CPlaxonDlg::ToolTipFor(int id) const
{
    if (id == IDC_LINK_ICON)
        return StatusTooltip(m_lastDelivery, m_journal.FailureText());
    if (id >= IDC_LAUNCH_FIRST && id <= IDC_LAUNCH_LAST)
        return LaunchButtonTooltip(id - IDC_LAUNCH_FIRST);
    return HelpText(id);
}

bool CPlaxonDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *widget = qobject_cast<QWidget *>(watched);
        const int id = widget ? widget->property("controlId").toInt() : 0;
        const QString text = ToolTipFor(id);
        if (text.isEmpty()) {
            // No text of the window's own: a control's own tip (the trackbar
            // shows its value) may still answer.
            QToolTip::hideText();
            return false;
        }
        ShowToolTip(static_cast<QHelpEvent *>(event)->globalPos(), QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), widget, QRect());
        return true;
    }
    return MyCDialog::eventFilter(watched, event);
}

void CPlaxonDlg::paintEvent(QPaintEvent *event)
{
    if (!isMinimized()) {
        MyCDialog::paintEvent(event);
        return;
    }
    QPainter p(this);
    const QPixmap icon = windowIcon().pixmap(32, 32);
    p.drawPixmap((width() - icon.width() + 1) / 2, (height() - icon.height() + 1) / 2, icon);
}
