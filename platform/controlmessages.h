#pragma once

// What the dialog platform does with its control messages (window text,
// check state, combo list items and their data, read-only, date picker and
// IP address values), over the Qt widgets that the template builder creates.
// Setting a value here is programmatic: it sends no user notification
// (CBN_SELCHANGE, BN_CLICKED, DTN_DATETIMECHANGE), while a text set on an edit
// does send EN_CHANGE, as the platform's edits do.

#include <QString>

#include <cstdint>

class QAbstractButton;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QWidget;

// WM_GETTEXT / WM_SETTEXT. A drop-down list combo box gives its selected
// item's text and ignores a text set on it.
QString ControlText(const QWidget *control);
void SetControlText(QWidget *control, const QString &text);

// BM_GETCHECK / BM_SETCHECK: 0 unchecked, 1 checked, 2 indeterminate (a
// two-state box shows 2 as checked). Unchecking works on a radio button of an
// exclusive group as well.
int ButtonCheck(const QAbstractButton *button);
void SetButtonCheck(QAbstractButton *button, int state);
bool IsRadioButton(const QWidget *control);

// EM_SETREADONLY; controls without an edit field are left alone.
void SetControlReadOnly(QWidget *control, bool readOnly);
bool IsControlReadOnly(const QWidget *control);
// EM_SETSEL(0, -1) on the control's edit field.
void SelectAllText(QWidget *control);

// Combo list items. A combo marked sorted (SetComboSorted, done by the
// builder for StyleSorted) inserts new items in order, ignoring case;
// otherwise they are appended. Returns the new item's index.
void SetComboSorted(QComboBox *combo, bool sorted);
int ComboAddString(QComboBox *combo, const QString &text);
// CB_FINDSTRINGEXACT from the first item: case ignored; -1 when none.
int ComboFindStringExact(const QComboBox *combo, const QString &text);
// CB_GETLBTEXT; empty for an index outside the list.
QString ComboItemText(const QComboBox *combo, int index);
// CB_GETITEMDATA / CB_SETITEMDATA: a pointer-sized value per item, 0 until
// set; -1 (CB_ERR) for an index outside the list.
intptr_t ComboItemData(const QComboBox *combo, int index);
bool SetComboItemData(QComboBox *combo, int index, intptr_t data);

// DTM_SETSYSTEMTIME / DTM_GETSYSTEMTIME with year, month and day. The all-zero
// date shows the picker empty and reads back as all zero; a date that does
// not exist leaves the picker as it was.
void SetPickerDate(QDateEdit *picker, int year, int month, int day);
void PickerDate(const QDateEdit *picker, int *year, int *month, int *day);

// IPM_SETADDRESS / IPM_GETADDRESS: the first field in the highest byte; blank
// fields read as 0 and fields above 255 as 255.
void SetIpAddress(QLineEdit *edit, uint32_t address);
uint32_t IpAddress(const QLineEdit *edit);
