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

// The binding kinds: control and variable. The values are what the records
// store (word 2); any other value makes a record inert. _W: wide text.
enum DDX_Kind : int32_t {
    DDX_TEXT = 1,                // edit, text buffer
    DDX_TEXT_W = 2,
    DDX_TEXT_ALT = 3,            // as DDX_TEXT
    DDX_TEXT_ALT_W = 4,          // as DDX_TEXT_W
    DDX_COMBO_EDIT_TEXT = 5,     // combo box with edit field, text buffer
    DDX_COMBO_EDIT_TEXT_W = 6,
    DDX_COMBO_INDEX = 7,         // combo box, selected index
    DDX_COMBO_INT = 8,           // combo box, integer item text, clamped
    DDX_COMBO_EDIT_INT = 9,      // combo box with edit field, decimal integer
    DDX_COMBO_EDIT_HEX = 10,     // combo box with edit field, hexadecimal integer
    DDX_COMBO_DOUBLE = 11,       // combo box, decimal item text
    DDX_COMBO_HEX = 12,          // combo box, hexadecimal item text
    DDX_COMBO_TEXT = 13,         // combo box, item text
    DDX_COMBO_TEXT_W = 14,
    DDX_COMBO_DATA_REF = 15,     // combo box, integer the item data point to
    DDX_COMBO_DATA = 16,         // combo box, item data
    DDX_COMBO_INDEX_TEXT = 17,   // as DDX_COMBO_INDEX, plus the text in a second buffer
    DDX_COMBO_DATA_TEXT = 18,    // as DDX_COMBO_DATA, plus the text in a second buffer
    DDX_COMBO_DATA_TEXT_W = 19,
    DDX_INT = 20,                // edit, 32- or 64-bit integer, range check
    DDX_HEX = 21,                // edit, hexadecimal integer, range check
    DDX_DOUBLE = 22,             // edit, floating point, range check
    DDX_DATE = 23,               // edit, day.month.year
    DDX_CHECK = 24,              // check box, state 0/1/2
    DDX_RADIO = 25,              // radio button, position in its group
    DDX_CHECK_CHAR = 26,         // check box, '1' or blank
    DDX_CHECK_CHAR_ZERO = 27,    // check box, '1' or '0'
    DDX_CHECK_BIT = 28,          // check box, one bit of an integer
    DDX_DATE_PICKER = 29,        // date picker, DDX_Date
    DDX_DATE_PICKER_STAMP = 30,  // date picker, DDX_Timestamp
    DDX_DATE_PICKER_YMD = 31,    // date picker, DDX_DateStruct
    DDX_IP_ADDRESS = 32,         // IP address control, 32-bit address
};

// One binding record: nine 32-bit words on the platform. Word 4 carries a
// reference in some kinds (a second buffer, a format text), so it is
// pointer-sized here; the 64-bit limits of DDX_DOUBLE are split over words 5-6
// and 7-8, first half = low 32 bits.
struct DDX_Binding {
    int32_t id;
    int32_t kind;  // a DDX_Kind; any other value makes the record inert
    void *var;
    intptr_t w4;   // capacity / radio position / low limit / second buffer / format text
    int32_t w5;    // high limit / second capacity / low limit (first half)
    int32_t w6;    // flags / bit number / low limit (second half)
    int32_t w7;    // high limit (first half)
    int32_t w8;    // integer width 4 or 8 / high limit (second half)
    int32_t w9;    // DDX_DOUBLE flags
};

// Variables of the date kinds.
struct DDX_Date {          // DDX_DATE, DDX_DATE_PICKER
    uint8_t day;
    uint8_t month;
    uint16_t year;
};
struct DDX_DateStruct {    // DDX_DATE_PICKER_YMD
    uint16_t year;
    uint16_t month;
    uint16_t day;
};
struct DDX_Timestamp {     // DDX_DATE_PICKER_STAMP
    uint16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint32_t fraction;
};

// Flag bits of words 6 (DDX_COMBO_EDIT_INT, DDX_COMBO_EDIT_HEX, DDX_INT, DDX_HEX)
// and 9 (DDX_DOUBLE).
constexpr int32_t DDX_EMPTY_IF_ZERO = 1;    // show empty text for a zero value
constexpr int32_t DDX_ZERO_ACCEPTED = 2;    // DDX_DOUBLE: 0 passes the range check
constexpr int32_t DDX_WHOLE_GROUPED = 4;    // DDX_DOUBLE: "1 234 568", display only
constexpr int32_t DDX_CENTS_GROUPED = 8;    // DDX_DOUBLE: "1 234 567.50", display only

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
    void BindText(int id, char *buffer, int capacity);       // DDX_TEXT, limits the edit to capacity - 1
    void BindComboIndex(int id, int32_t *index);             // DDX_COMBO_INDEX
    void BindComboIndex(int id, uint32_t *index);
    void BindComboData(int id, int32_t *value);              // DDX_COMBO_DATA
    void BindComboData(int id, uint32_t *value);
    void BindCheck(int id, uint8_t *state);                  // DDX_CHECK
    void BindRadioGroup(int firstId, int8_t *position);      // DDX_RADIO, one record per radio button
    void BindRadioGroup(int firstId, uint8_t *position);

    // Binders of the other kinds.
    void BindText(int id, char16_t *buffer, int capacity);   // DDX_TEXT_W, limits the edit likewise
    void BindComboEditText(int id, char *buffer, int capacity);       // DDX_COMBO_EDIT_TEXT
    void BindComboEditText(int id, char16_t *buffer, int capacity);   // DDX_COMBO_EDIT_TEXT_W
    void BindComboInt(int id, int32_t *value, int low = 0, int high = 0);       // DDX_COMBO_INT
    void BindComboEditInt(int id, int32_t *value, int low = 0, int high = 0, int32_t flags = 0); // DDX_COMBO_EDIT_INT
    void BindComboEditHex(int id, int32_t *value, int32_t flags = 0);           // DDX_COMBO_EDIT_HEX
    void BindComboDouble(int id, double *value);             // DDX_COMBO_DOUBLE
    void BindComboHex(int id, int32_t *value);               // DDX_COMBO_HEX
    void BindComboText(int id, char *buffer, int capacity);  // DDX_COMBO_TEXT
    void BindComboText(int id, char16_t *buffer, int capacity);       // DDX_COMBO_TEXT_W
    void BindComboDataRef(int id, int32_t *value);           // DDX_COMBO_DATA_REF
    void BindComboIndexText(int id, int32_t *index, char *text, int capacity);  // DDX_COMBO_INDEX_TEXT
    void BindComboDataText(int id, int32_t *value, char *text, int capacity);   // DDX_COMBO_DATA_TEXT
    void BindComboDataText(int id, int32_t *value, char16_t *text, int capacity); // DDX_COMBO_DATA_TEXT_W
    void BindInt(int id, int32_t *value, int low = 0, int high = 0, int32_t flags = 0);      // DDX_INT
    void BindInt64(int id, int64_t *value, int32_t flags = 0);                              // DDX_INT, 8 bytes
    void BindHex(int id, int32_t *value, int low = 0, int high = 0, int32_t flags = 0);      // DDX_HEX
    void BindDouble(int id, double *value, double low = 0, double high = 0, int32_t flags = 0,
                    const char *format = nullptr);                                          // DDX_DOUBLE
    void BindDate(int id, DDX_Date *date);                   // DDX_DATE
    void BindCheckChar(int id, char *state, bool zeroWhenClear = false); // DDX_CHECK_CHAR, or DDX_CHECK_CHAR_ZERO
    void BindCheckBit(int id, uint32_t *bits, int bit);      // DDX_CHECK_BIT
    void BindDatePicker(int id, DDX_Date *date);             // DDX_DATE_PICKER
    void BindDatePicker(int id, DDX_Timestamp *stamp);       // DDX_DATE_PICKER_STAMP
    void BindDatePicker(int id, DDX_DateStruct *date);       // DDX_DATE_PICKER_YMD
    void BindIpAddress(int id, uint32_t *address);           // DDX_IP_ADDRESS

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
    // Show, Read and Live dispatch on the kind's family; the families whose
    // rules need the robot (checks, radio groups, live reads) are members.
    void Show(int index);
    // Reads one record; returns false when nothing was read (display-only).
    bool Read(int index, bool checks);
    bool ReadNumber(const DDX_Binding &b, QWidget *control, bool checks);
    void ReadDate(const DDX_Binding &b, QWidget *control, bool checks);
    bool ReadButton(int index, const DDX_Binding &b, QWidget *control);
    void ReadRadioGroup(int index);
    // Whether a range-checked value is stored; a rejected one shows its
    // message when checks are on.
    bool RangeAccepts(bool inRange, double low, bool checks, QWidget *control, const QString &message);
    // The kind's rule for a live notification; true when it applied.
    bool Live(int index, int code);
    bool LiveComboEdit(int index, const DDX_Binding &b, int code);
    // EN_CHANGE reads without checks, EN_KILLFOCUS with them.
    bool LiveCheckedEdit(int index, int code);
    bool LiveButton(int index, const DDX_Binding &b, int code);
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
