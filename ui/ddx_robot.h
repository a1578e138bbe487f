#pragma once

// The live data exchange of a dialog: a table of bindings, each tying one
// control (by its identifier) to one program variable, with the rules for
// showing the variable in the control and for copying the control's content
// back. Every user change of a bound control is stored at once, while its
// notification arrives, and OnChange tells the dialog which control changed.

#include <QString>

#include <cstdint>
#include <vector>

class MyCDialog;
class QWidget;

// One binding record: nine 32-bit words on the platform. Word 4 carries a
// reference in some kinds (a second buffer, a format text), so it is
// pointer-sized here; the 64-bit limits of kind 22 are split over words 5-6
// and 7-8, first half = low 32 bits.
struct DDX_Binding {
    int32_t id;
    int32_t kind;  // 1..32; any other value makes the record inert
    void *var;
    intptr_t w4;   // capacity / radio position / low limit / second buffer / format text
    int32_t w5;    // high limit / second capacity / low limit (first half)
    int32_t w6;    // flags / bit number / low limit (second half)
    int32_t w7;    // high limit (first half)
    int32_t w8;    // integer width 4 or 8 / high limit (second half)
    int32_t w9;    // kind 22 flags
};

// Variables of the date kinds.
struct DDX_Date {          // kinds 23 and 29
    uint8_t day;
    uint8_t month;
    uint16_t year;
};
struct DDX_DateStruct {    // kind 31
    uint16_t year;
    uint16_t month;
    uint16_t day;
};
struct DDX_Timestamp {     // kind 30
    uint16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint32_t fraction;
};

// Flag bits of words 6 (kinds 9, 10, 20, 21) and 9 (kind 22).
constexpr int32_t DDX_EMPTY_IF_ZERO = 1;    // show empty text for a zero value
constexpr int32_t DDX_ZERO_ACCEPTED = 2;    // kind 22: 0 passes the range check
constexpr int32_t DDX_WHOLE_GROUPED = 4;    // kind 22: "1 234 568", display only
constexpr int32_t DDX_CENTS_GROUPED = 8;    // kind 22: "1 234 567.50", display only

class DDX_Robot {
public:
    DDX_Robot();
    virtual ~DDX_Robot();
    DDX_Robot(const DDX_Robot &) = delete;
    DDX_Robot &operator=(const DDX_Robot &) = delete;

    // The raw record; neither the kind nor the control is checked.
    void Bind(int id, int kind, void *var, intptr_t w4 = 0, int32_t w5 = 0, int32_t w6 = 0, int32_t w7 = 0,
              int32_t w8 = 0, int32_t w9 = 0);

    // The binders of the system's dialogs.
    void BindText(int id, char *buffer, int capacity);       // kind 1, limits the edit to capacity - 1
    void BindComboIndex(int id, int32_t *index);             // kind 7
    void BindComboIndex(int id, uint32_t *index);
    void BindComboData(int id, int32_t *value);              // kind 16
    void BindComboData(int id, uint32_t *value);
    void BindCheck(int id, uint8_t *state);                  // kind 24
    void BindRadioGroup(int firstId, int8_t *position);      // kind 25, one record per radio button
    void BindRadioGroup(int firstId, uint8_t *position);

    // Binders of the other kinds.
    void BindText(int id, char16_t *buffer, int capacity);   // kind 2, limits the edit likewise
    void BindComboEditText(int id, char *buffer, int capacity);       // kind 5
    void BindComboEditText(int id, char16_t *buffer, int capacity);   // kind 6
    void BindComboInt(int id, int32_t *value, int low = 0, int high = 0);       // kind 8
    void BindComboEditInt(int id, int32_t *value, int low = 0, int high = 0, int32_t flags = 0); // kind 9
    void BindComboEditHex(int id, int32_t *value, int32_t flags = 0);           // kind 10
    void BindComboDouble(int id, double *value);             // kind 11
    void BindComboHex(int id, int32_t *value);               // kind 12
    void BindComboText(int id, char *buffer, int capacity);  // kind 13
    void BindComboText(int id, char16_t *buffer, int capacity);       // kind 14
    void BindComboDataRef(int id, int32_t *value);           // kind 15
    void BindComboIndexText(int id, int32_t *index, char *text, int capacity);  // kind 17
    void BindComboDataText(int id, int32_t *value, char *text, int capacity);   // kind 18
    void BindComboDataText(int id, int32_t *value, char16_t *text, int capacity); // kind 19
    void BindInt(int id, int32_t *value, int low = 0, int high = 0, int32_t flags = 0);      // kind 20
    void BindInt64(int id, int64_t *value, int32_t flags = 0);                              // kind 20, 8 bytes
    void BindHex(int id, int32_t *value, int low = 0, int high = 0, int32_t flags = 0);      // kind 21
    void BindDouble(int id, double *value, double low = 0, double high = 0, int32_t flags = 0,
                    const char *format = nullptr);                                          // kind 22
    void BindDate(int id, DDX_Date *date);                   // kind 23
    void BindCheckChar(int id, char *state, bool zeroWhenClear = false); // kind 26, or 27
    void BindCheckBit(int id, uint32_t *bits, int bit);      // kind 28
    void BindDatePicker(int id, DDX_Date *date);             // kind 29
    void BindDatePicker(int id, DDX_Timestamp *stamp);       // kind 30
    void BindDatePicker(int id, DDX_DateStruct *date);       // kind 31
    void BindIpAddress(int id, uint32_t *address);           // kind 32

    // Shows every bound variable in its control, then OnChange(0).
    void UpdateControls();
    // Reads every bound control into its variable, with the range and date
    // checks; a failed check shows its message and reading goes on.
    void ReadControls();
    // Switches the calling of OnChange; returns the previous setting.
    bool SetNotify(bool on);
    void SetEnterMovesFocus() { m_enterMovesFocus = 1; }
    void SetIgnoreCancel() { m_ignoreCancel = 1; }

    // Called after a live change of a control was stored, and with 0 after
    // UpdateControls. Never re-entered.
    virtual void OnChange(int id);

    int BindingCount() const { return m_count; }
    int BindingCapacity() const { return m_capacity; }
    const DDX_Binding &BindingAt(int index) const { return m_bindings[size_t(index)]; }

protected:
    void AttachRobot(MyCDialog *owner) { m_owner = owner; }
    bool EnterMovesFocus() const { return m_enterMovesFocus != 0; }
    bool IgnoresCancel() const { return m_ignoreCancel != 0; }

    // Entry points of the dialog: a command from a control (notification code
    // and identifier), a WM_NOTIFY notification, and the lock of all bound
    // controls.
    void RobotCommand(int code, int id);
    void RobotNotify(int code, int id);
    void RobotLock(bool lock);

private:
    // The live exchange of a control's notification, then the change callback.
    void ExchangeLive(int code, int id);
    bool HasWindow() const;
    QWidget *Control(int id) const;
    void Show(int index);
    // Reads one record; returns false when nothing was read (display-only).
    bool Read(int index, bool checks);
    // The kind's rule for a live notification; true when it applied.
    bool Live(int index, int code);
    void ReadRadioGroup(int index);
    void CallOnChange(int id);
    void CheckFailed(QWidget *control, const QString &message);

    MyCDialog *m_owner = nullptr;
    std::vector<DDX_Binding> m_bindings;
    int32_t m_count = 0;
    int32_t m_capacity = 0;
    int32_t m_notify = 1;
    int32_t m_inChange = 0;
    int32_t m_changingId = 0;
    uint8_t m_enterMovesFocus = 0;
    uint8_t m_ignoreCancel = 0;
    bool m_inCheckMessage = false;
};
