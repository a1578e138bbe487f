#pragma once

// The base of every dialog: a QDialog built from a dialog template, carrying
// the binding engine as its second base. It adds a caption for modal runs,
// enabling and showing of single controls and of runs of controls in window
// order, a lock of all bound controls, the two keyboard rules (Enter moves
// the focus, Escape is ignored) and the hooks through which a tab host talks
// to its owner and to its pages.
//
// Its "window" is the set of controls built from the template: it exists from
// DoModal or Create until the modal run ends or DestroyWindow, and the dialog
// object outlives it (a lazy page gets a new window on each selection).

#include "ddx_robot.h"
#include "dialogtemplate.h"
#include "notifycodes.h"

#include <QDialog>
#include <QPointer>

#include <optional>
#include <vector>

class DlgCTabCtrl;

class MyCDialog : public QDialog, public DDX_Robot {
    Q_OBJECT
public:
    explicit MyCDialog(int templateId, QWidget *parent = nullptr);
    ~MyCDialog() override;

    // Remembers the caption (applied by OnInitDialog), creates the window and
    // runs it modally; the result is the one given to done(), -1 when the
    // template does not exist.
    virtual int DoModal(const std::optional<QString> &caption = std::nullopt);
    // All bound controls read-only (text entries) or disabled, or undone.
    virtual void Lock(bool lock);
    // Hooks of the tab host, empty here.
    virtual void OnPageSelected(DlgCTabCtrl *host, int pageIndex, int tabPosition);
    virtual void OnActivatePage();
    virtual void OnDeactivatePage();

    // Creates the window as a child of parent (a page), hidden; false when
    // the template does not exist. Nothing happens when the window exists.
    bool Create(int templateId, QWidget *parent);
    // Destroys the controls; the dialog object and its bindings stay.
    void DestroyWindow();
    bool HasWindow() const { return m_hasWindow; }
    int TemplateId() const { return m_templateId; }

    // The first control with this identifier in window order, or nullptr.
    QWidget *GetDlgItem(int id) const;
    template <typename T>
    T *DlgItem(int id) const { return qobject_cast<T *>(GetDlgItem(id)); }

    // The controls in window order.
    int ControlCount() const { return int(m_controls.size()); }
    QWidget *ControlAt(int index) const;
    int ControlIdAt(int index) const;
    bool ControlHasStyle(int index, ControlStyle style) const;
    int ControlIndex(int id) const;

    void EnableControl(int id, bool on);
    void ShowControl(int id, bool on);
    // From the first control through each next one in window order, up to
    // and including the last control (or the dialog's last control when the
    // last identifier does not follow the first).
    void EnableRange(int firstId, int lastId, bool on);
    void ShowRange(int firstId, int lastId, bool on);

    void SetTabHost(DlgCTabCtrl *host) { m_tabHost = host; }
    DlgCTabCtrl *TabHost() const { return m_tabHost; }

    // WM_NEXTDLGCTL: the focus to the next control that takes the Tab key.
    void NextDlgCtrl();

protected:
    // Performs the base initialisation: attaches the binding engine and sets
    // the title to the caption given to DoModal. Derived dialogs call it
    // first, then bind, then call UpdateControls. true: the first control
    // gets the focus.
    virtual bool OnInitDialog();
    // The widget for one template control, for dialogs that attach classes
    // of their own (nullptr: the builder's widget).
    virtual QWidget *CreateControl(const DialogControl &control, QWidget *parent);
    // The command entry point: Enter/Escape filtering, the live exchange,
    // then OnCmdMsg.
    virtual void OnCommand(int code, int id, QWidget *control);
    // The notification entry point (WM_NOTIFY): the live exchange of the date
    // pickers; then OnNotifyMsg.
    virtual void OnNotify(int code, int id, QWidget *control);
    // WM_HSCROLL / WM_VSCROLL from a trackbar.
    virtual void OnScroll(int message, int code, int position, QWidget *control);
    // The dialog's own command handlers (its message map); the base ends the
    // dialog for IDOK and IDCANCEL. true when handled.
    virtual bool OnCmdMsg(int code, int id, QWidget *control);
    virtual bool OnNotifyMsg(int code, int id, QWidget *control);
    virtual void OnOK();
    virtual void OnCancel();

    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    struct Slot {
        QPointer<QWidget> widget;
        int id;
        uint32_t style;
    };

    bool CreateWindowFrom(int templateId, bool child);
    void Dispatch(const ControlEvent &event);
    void ApplyRange(int firstId, int lastId, bool on, bool enable);
    int SlotOf(const QWidget *widget) const;
    static bool TakesTab(const Slot &slot);
    QWidget *FirstTabItem() const;
    void FocusControl(QWidget *control, Qt::FocusReason reason);

    int m_templateId;
    std::optional<QString> m_caption;
    DlgCTabCtrl *m_tabHost = nullptr;
    std::vector<Slot> m_controls;
    bool m_hasWindow = false;
    bool m_tearingDown = false;
    QPointer<QWidget> m_lastFocus;
    QMetaObject::Connection m_focusWatch;
};
