#include "mycdialog.h"

#include "dlgctabctrl.h"
#include "pageselectedevent.h"

#include "controlmessages.h"
#include "templatebuilder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPushButton>

MyCDialog::MyCDialog(int templateId, QWidget *parent) : QDialog(parent), m_templateId(templateId)
{
    // The control that last had the focus gets it back when the dialog
    // itself is given the focus, as the platform's dialogs do.
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        m_focusWatch = connect(app, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
            if (const int slot = SlotOf(now); slot >= 0)
                m_lastFocus = m_controls[size_t(slot)].widget;
        });
}

MyCDialog::~MyCDialog()
{
    disconnect(m_focusWatch);
    DestroyWindow();
}

int MyCDialog::DoModal(const std::optional<QString> &caption)
{
    m_caption = caption;
    if (!CreateWindowFrom(m_templateId, false))
        return -1;
    const int result = exec();
    DestroyWindow();
    return result;
}

bool MyCDialog::Create(int templateId, QWidget *parent)
{
    if (m_hasWindow)
        return true;
    hide();
    // A child window: no frame, placed by its host. The two-argument form,
    // because the one-argument setParent does nothing for the parent the
    // dialog was constructed with and it would stay a top-level window.
    if (parent)
        setParent(parent, windowFlags() & ~Qt::WindowType_Mask);
    return CreateWindowFrom(templateId, true);
}

bool MyCDialog::CreateWindowFrom(int templateId, bool child)
{
    if (m_hasWindow)
        return true;
    const DialogTemplate *tmpl = DialogTemplate::Find(templateId);
    if (!tmpl)
        return false;
    if (!child && (tmpl->style & DialogPopup)) {
        Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint;
        if (tmpl->style & DialogSysMenu)
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        setWindowFlags(flags);
    }
    const QList<QWidget *> built = TemplateBuilder::Build(
        *tmpl, this, [this](const DialogControl &c, QWidget *parent) { return CreateControl(c, parent); },
        [this](const ControlEvent &e) { Dispatch(e); });
    m_controls.clear();
    m_controls.reserve(size_t(built.size()));
    for (qsizetype i = 0; i < built.size(); ++i)
        m_controls.push_back(Slot{built[i], tmpl->controls[size_t(i)].id, tmpl->controls[size_t(i)].style});
    m_hasWindow = true;
    if (OnInitDialog() && !child)
        FocusControl(FirstTabItem(), Qt::OtherFocusReason);
    return true;
}

void MyCDialog::DestroyWindow()
{
    if (!m_hasWindow)
        return;
    m_tearingDown = true;
    hide();
    // Controls go first out of the list, so nothing finds them while they
    // are being deleted (a focused edit still reports losing the focus).
    std::vector<Slot> controls;
    controls.swap(m_controls);
    for (Slot &slot : controls)
        delete slot.widget.data();
    m_hasWindow = false;
    m_lastFocus = nullptr;
    m_tearingDown = false;
}

bool MyCDialog::OnInitDialog()
{
    AttachRobot(this);
    if (m_caption)
        setWindowTitle(*m_caption);
    return true;
}

QWidget *MyCDialog::CreateControl(const DialogControl &, QWidget *)
{
    return nullptr;
}

QWidget *MyCDialog::GetDlgItem(int id) const
{
    for (const Slot &slot : m_controls)
        if (slot.id == id && slot.widget)
            return slot.widget;
    return nullptr;
}

QWidget *MyCDialog::ControlAt(int index) const
{
    return index >= 0 && index < ControlCount() ? m_controls[size_t(index)].widget.data() : nullptr;
}

int MyCDialog::ControlIdAt(int index) const
{
    return index >= 0 && index < ControlCount() ? m_controls[size_t(index)].id : 0;
}

bool MyCDialog::ControlHasStyle(int index, ControlStyle style) const
{
    return index >= 0 && index < ControlCount() && (m_controls[size_t(index)].style & style) != 0;
}

int MyCDialog::ControlIndex(int id) const
{
    for (size_t i = 0; i < m_controls.size(); ++i)
        if (m_controls[i].id == id && m_controls[i].widget)
            return int(i);
    return -1;
}

int MyCDialog::SlotOf(const QWidget *widget) const
{
    for (const QWidget *w = widget; w && w != this; w = w->parentWidget())
        for (size_t i = 0; i < m_controls.size(); ++i)
            if (m_controls[i].widget == w)
                return int(i);
    return -1;
}

void MyCDialog::EnableControl(int id, bool on)
{
    if (!m_hasWindow)
        return;
    if (QWidget *w = GetDlgItem(id))
        w->setEnabled(on);
}

void MyCDialog::ShowControl(int id, bool on)
{
    if (!m_hasWindow)
        return;
    if (QWidget *w = GetDlgItem(id))
        w->setVisible(on);
}

void MyCDialog::ApplyRange(int firstId, int lastId, bool on, bool enable)
{
    if (!m_hasWindow)
        return;
    for (int i = ControlIndex(firstId); i >= 0 && i < ControlCount(); ++i) {
        if (QWidget *w = m_controls[size_t(i)].widget) {
            if (enable)
                w->setEnabled(on);
            else
                w->setVisible(on);
        }
        if (m_controls[size_t(i)].id == lastId)
            break;
    }
}

void MyCDialog::EnableRange(int firstId, int lastId, bool on)
{
    ApplyRange(firstId, lastId, on, true);
}

void MyCDialog::ShowRange(int firstId, int lastId, bool on)
{
    ApplyRange(firstId, lastId, on, false);
}

void MyCDialog::Lock(bool lock)
{
    RobotLock(lock);
}

void MyCDialog::OnPageSelected(DlgCTabCtrl *, int, int)
{
}

void MyCDialog::OnActivatePage()
{
}

void MyCDialog::OnDeactivatePage()
{
}

bool MyCDialog::TakesTab(const Slot &slot)
{
    // A control the dialog keeps out of reach (NoFocus) is skipped like a
    // hidden one.
    return slot.widget && (slot.style & StyleTabStop) && !slot.widget->isHidden() && slot.widget->isEnabled()
        && (slot.widget->focusPolicy() & Qt::TabFocus);
}

QWidget *MyCDialog::FirstTabItem() const
{
    for (const Slot &slot : m_controls)
        if (TakesTab(slot))
            return slot.widget;
    return nullptr;
}

void MyCDialog::FocusControl(QWidget *control, Qt::FocusReason reason)
{
    if (!control)
        return;
    control->setFocus(reason);
    // The dialog manager selects the whole text of an edit it moves to.
    SelectAllText(control);
}

void MyCDialog::NextDlgCtrl()
{
    const int n = ControlCount();
    if (n == 0)
        return;
    const int from = SlotOf(QApplication::focusWidget());
    for (int k = 1; k <= n; ++k) {
        const int i = ((from < 0 ? -1 : from) + k + n) % n;
        const Slot &slot = m_controls[size_t(i)];
        if (TakesTab(slot)) {
            FocusControl(slot.widget, Qt::TabFocusReason);
            return;
        }
    }
}

void MyCDialog::Dispatch(const ControlEvent &e)
{
    if (m_tearingDown || !m_hasWindow)
        return;
    switch (e.message) {
    case WM_COMMAND: OnCommand(e.code, e.id, e.control); break;
    case WM_NOTIFY: OnNotify(e.code, e.id, e.control); break;
    case WM_HSCROLL:
    case WM_VSCROLL: OnScroll(e.message, e.code, e.position, e.control); break;
    default: break;
    }
}

void MyCDialog::OnCommand(int code, int id, QWidget *control)
{
    if (id == IDOK && EnterMovesFocus()) {
        if (QWidget *focus = QApplication::focusWidget()) {
            const int slot = SlotOf(focus);
            if (slot < 0 || m_controls[size_t(slot)].id != IDOK) {
                NextDlgCtrl();
                return;
            }
        }
    }
    if (id == IDCANCEL && IgnoresCancel())
        return;
    if (control)
        RobotCommand(code, id);
    OnCmdMsg(code, id, control);
}

void MyCDialog::OnNotify(int code, int id, QWidget *control)
{
    RobotNotify(code, id);
    OnNotifyMsg(code, id, control);
}

void MyCDialog::OnScroll(int, int, int, QWidget *)
{
}

bool MyCDialog::OnCmdMsg(int code, int id, QWidget *)
{
    if (code != BN_CLICKED)
        return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool MyCDialog::OnNotifyMsg(int, int, QWidget *)
{
    return false;
}

void MyCDialog::OnOK()
{
    done(IDOK);
}

void MyCDialog::OnCancel()
{
    done(IDCANCEL);
}

bool MyCDialog::event(QEvent *event)
{
    if (event->type() == PageSelectedEvent::EventType) {
        const auto *selected = static_cast<PageSelectedEvent *>(event);
        DlgCTabCtrl *host = selected->Host();
        OnPageSelected(host, selected->PageIndex(), host ? host->PageToTab(selected->PageIndex()) : -1);
        return true;
    }
    return QDialog::event(event);
}

void MyCDialog::keyPressEvent(QKeyEvent *event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // Enter is the command of the template's default push button, IDOK
        // without one; a disabled default button takes no Enter at all.
        int id = IDOK;
        for (const Slot &slot : m_controls)
            if (const auto *button = qobject_cast<QPushButton *>(slot.widget.data()); button && button->isDefault()) {
                id = slot.id;
                break;
            }
        QWidget *button = GetDlgItem(id);
        if (!button || button->isEnabled())
            OnCommand(BN_CLICKED, id, button);
        event->accept();
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) {
        OnCommand(BN_CLICKED, IDCANCEL, GetDlgItem(IDCANCEL));
        event->accept();
        return;
    }
    // Not QDialog's handling: Enter and Escape are this dialog's commands.
    QWidget::keyPressEvent(event);
}

void MyCDialog::closeEvent(QCloseEvent *event)
{
    if (!m_hasWindow) {
        event->accept();
        return;
    }
    // The close box is IDCANCEL; the dialog ends only if that command ends it.
    event->ignore();
    OnCommand(BN_CLICKED, IDCANCEL, GetDlgItem(IDCANCEL));
}

void MyCDialog::focusInEvent(QFocusEvent *event)
{
    QDialog::focusInEvent(event);
    QWidget *target = m_lastFocus;
    if (!target || target->isHidden() || !target->isEnabled() || SlotOf(target) < 0)
        target = FirstTabItem();
    FocusControl(target, event->reason());
}
