#include "ddx_robot.h"

#include "mycdialog.h"

#include "codepage.h"
#include "controlmessages.h"
#include "messagebox.h"
#include "notifycodes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QLineEdit>

#include <bit>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// --- the variables' texts ---------------------------------------------------

QString NarrowText(const void *var, intptr_t capacity)
{
    if (!var || capacity <= 0)
        return {};
    const char *buffer = static_cast<const char *>(var);
    // Never past the capacity, also when the buffer lacks its terminator.
    return AnsiToQString(QByteArrayView(buffer, qsizetype(strnlen(buffer, size_t(capacity)))));
}

QString WideText(const void *var, intptr_t capacity)
{
    if (!var || capacity <= 0)
        return {};
    const char16_t *buffer = static_cast<const char16_t *>(var);
    qsizetype n = 0;
    while (n < capacity && buffer[n])
        ++n;
    return QString(reinterpret_cast<const QChar *>(buffer), n);
}

// Buffer cleared, the text copied in bounded, the last unit forced to 0.
void StoreNarrow(void *var, intptr_t capacity, const QString &text)
{
    if (!var || capacity <= 0)
        return;
    char *buffer = static_cast<char *>(var);
    std::memset(buffer, 0, size_t(capacity));
    Utf16ToAnsi(text, buffer, qsizetype(capacity));
    buffer[capacity - 1] = '\0';
}

void StoreWide(void *var, intptr_t capacity, const QString &text)
{
    if (!var || capacity <= 0)
        return;
    char16_t *buffer = static_cast<char16_t *>(var);
    std::memset(buffer, 0, size_t(capacity) * sizeof(char16_t));
    Utf8ToUtf16(text.toUtf8(), buffer, qsizetype(capacity));
    buffer[capacity - 1] = u'\0';
}

// --- reading numbers from text ------------------------------------------------

QString WithoutBlanks(QString text)
{
    text.remove(QLatin1Char(' '));
    text.remove(QLatin1Char('\t'));
    return text;
}

bool IsCSpace(QChar c)
{
    return c == QLatin1Char(' ') || (c.unicode() >= 9 && c.unicode() <= 13);
}

// Leading white space, a sign, the digits up to the first other character;
// no digits give 0; a value beyond the range saturates.
int64_t ParseDecimal(QStringView text, int64_t low, int64_t high)
{
    qsizetype i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        const unsigned digit = text[i].unicode() - '0';
        if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + digit;
    }
    if (negative) {
        if (overflow || magnitude > uint64_t(-(low + 1)) + 1)
            return low;
        return magnitude == 0 ? 0 : -int64_t(magnitude - 1) - 1;
    }
    if (overflow || magnitude > uint64_t(high))
        return high;
    return int64_t(magnitude);
}

int32_t IntegerRead(const QString &text)
{
    return int32_t(ParseDecimal(WithoutBlanks(text), std::numeric_limits<int32_t>::min(),
                                std::numeric_limits<int32_t>::max()));
}

int64_t IntegerRead64(const QString &text)
{
    return ParseDecimal(WithoutBlanks(text), std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
}

// "%X" and "%u" scan at most this many characters of a control's text.
constexpr qsizetype kScanMax = 255;

// A hexadecimal number as "%X" scans it from the first kScanMax characters:
// white space, a sign, an optional 0x; no number gives 0.
uint32_t HexRead(const QString &text)
{
    const QStringView t = QStringView(text).left(kScanMax);
    qsizetype i = 0;
    while (i < t.size() && IsCSpace(t[i]))
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        negative = t[i++] == QLatin1Char('-');
    const auto isHex = [](QChar c) { return c.unicode() < 0x80 && std::isxdigit(c.unicode()); };
    if (i + 2 < t.size() && t[i] == QLatin1Char('0') && (t[i + 1] == QLatin1Char('x') || t[i + 1] == QLatin1Char('X'))
        && isHex(t[i + 2]))
        i += 2;
    uint32_t value = 0;
    for (; i < t.size() && isHex(t[i]); ++i) {
        const char c = t[i].toLatin1();
        value = value * 16 + uint32_t(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return negative ? 0u - value : value;
}

// Blanks removed, "," read as ".", a decimal floating-point number; no number gives 0.
double DecimalRead(const QString &text)
{
    QString t = WithoutBlanks(text);
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const QByteArray bytes = t.toLatin1();
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    while (p < end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (p < end && *p == '+') {
        ++p;
        if (p < end && *p == '-')
            return 0;
    }
    double value = 0;
    std::from_chars(p, end, value);
    return value;
}

// --- showing numbers ----------------------------------------------------------

QString FormatG15(double value)
{
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return QString::fromLatin1(buffer, r.ptr - buffer);
}

QString FormatFixed(double value, int decimals)
{
    char buffer[400];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return QString::fromLatin1(buffer, r.ptr - buffer);
}

// The digits of the integer part in groups of three from the right, one blank
// between groups; a leading minus sign is not a digit.
QString GroupDigits(QString text)
{
    qsizetype start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    qsizetype end = start;
    while (end < text.size() && text[end].isDigit())
        ++end;
    for (qsizetype at = end - 3; at > start; at -= 3)
        text.insert(at, QLatin1Char(' '));
    return text;
}

QString FormatWithText(const char *format, double value)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    // The program's numbers use "." whatever the process locale says.
    if (const char *point = std::localeconv()->decimal_point; point && point[0] && point[0] != '.' && !point[1])
        for (char *c = buffer; *c; ++c)
            if (*c == point[0])
                *c = '.';
    return QString::fromLocal8Bit(buffer);
}

double WordsToDouble(int32_t first, int32_t second)
{
    return std::bit_cast<double>(uint64_t(uint32_t(first)) | (uint64_t(uint32_t(second)) << 32));
}

void DoubleToWords(double value, int32_t *first, int32_t *second)
{
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    *first = int32_t(uint32_t(bits));
    *second = int32_t(uint32_t(bits >> 32));
}

QString HexText(uint32_t value)
{
    return QString::number(value, 16).toUpper();
}

// --- dates --------------------------------------------------------------------

struct ScannedDate {
    uint32_t day = 0, month = 0, year = 0;
};

// "%u.%u.%u" over the first kScanMax characters; missing parts stay 0.
ScannedDate ScanDate(const QString &text)
{
    const QStringView t = QStringView(text).left(kScanMax);
    uint32_t parts[3] = {0, 0, 0};
    qsizetype i = 0;
    for (int field = 0; field < 3; ++field) {
        if (field > 0) {
            if (i >= t.size() || t[i] != QLatin1Char('.'))
                break;
            ++i;
        }
        while (i < t.size() && IsCSpace(t[i]))
            ++i;
        bool negative = false;
        if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
            negative = t[i++] == QLatin1Char('-');
        const qsizetype digitsStart = i;
        uint32_t value = 0;
        for (; i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'); ++i)
            value = value * 10 + uint32_t(t[i].unicode() - '0');
        if (i == digitsStart)
            break;
        parts[field] = negative ? 0u - value : value;
    }
    return {parts[0], parts[1], parts[2]};
}

bool DateAccepted(const ScannedDate &d)
{
    if (d.day == 0 && d.month == 0 && d.year == 0)
        return true;
    return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31 && d.year >= 1800 && d.year <= 2100;
}

// --- the kinds' families ------------------------------------------------------

// Kinds of one family share their control and the shape of their rules.
enum class KindFamily { None, Text, ComboList, ComboEdit, Number, Date, Button, Address };

KindFamily FamilyOf(int32_t kind)
{
    switch (kind) {
    case DDX_TEXT: case DDX_TEXT_W: case DDX_TEXT_ALT: case DDX_TEXT_ALT_W:
        return KindFamily::Text;
    case DDX_COMBO_INDEX: case DDX_COMBO_INT: case DDX_COMBO_DOUBLE: case DDX_COMBO_HEX: case DDX_COMBO_TEXT:
    case DDX_COMBO_TEXT_W: case DDX_COMBO_DATA_REF: case DDX_COMBO_DATA: case DDX_COMBO_INDEX_TEXT:
    case DDX_COMBO_DATA_TEXT: case DDX_COMBO_DATA_TEXT_W:
        return KindFamily::ComboList;
    case DDX_COMBO_EDIT_TEXT: case DDX_COMBO_EDIT_TEXT_W: case DDX_COMBO_EDIT_INT: case DDX_COMBO_EDIT_HEX:
        return KindFamily::ComboEdit;
    case DDX_INT: case DDX_HEX: case DDX_DOUBLE:
        return KindFamily::Number;
    case DDX_DATE: case DDX_DATE_PICKER: case DDX_DATE_PICKER_STAMP: case DDX_DATE_PICKER_YMD:
        return KindFamily::Date;
    case DDX_CHECK: case DDX_RADIO: case DDX_CHECK_CHAR: case DDX_CHECK_CHAR_ZERO: case DDX_CHECK_BIT:
        return KindFamily::Button;
    case DDX_IP_ADDRESS:
        return KindFamily::Address;
    default:
        return KindFamily::None;
    }
}

// The kinds whose control is an edit field: a lock makes them read-only.
bool IsTextEntryKind(int32_t kind)
{
    const KindFamily family = FamilyOf(kind);
    return family == KindFamily::Text || family == KindFamily::Number || family == KindFamily::Address
        || kind == DDX_DATE;
}

// The kinds whose text variable (or second buffer) is UTF-16.
bool IsWideKind(int32_t kind)
{
    return kind == DDX_TEXT_W || kind == DDX_TEXT_ALT_W || kind == DDX_COMBO_EDIT_TEXT_W || kind == DDX_COMBO_TEXT_W
        || kind == DDX_COMBO_DATA_TEXT_W;
}

// The text variable of a text kind, capacity in word 4.
QString VariableText(const DDX_Binding &b)
{
    return IsWideKind(b.kind) ? WideText(b.var, b.w4) : NarrowText(b.var, b.w4);
}

void StoreVariableText(const DDX_Binding &b, const QString &text)
{
    if (IsWideKind(b.kind))
        StoreWide(b.var, b.w4, text);
    else
        StoreNarrow(b.var, b.w4, text);
}

// The second buffer of the combo kinds that also keep the text (words 4 and 5).
void StoreSecondText(const DDX_Binding &b, const QString &text)
{
    if (IsWideKind(b.kind))
        StoreWide(reinterpret_cast<void *>(b.w4), b.w5, text);
    else
        StoreNarrow(reinterpret_cast<void *>(b.w4), b.w5, text);
}

QComboBox *AsCombo(QWidget *control)
{
    return qobject_cast<QComboBox *>(control);
}

QAbstractButton *AsButton(QWidget *control)
{
    return qobject_cast<QAbstractButton *>(control);
}

// CB_GETCURSEL as a message to any window: only a combo box has a selection.
int CurSel(QWidget *control)
{
    const QComboBox *combo = AsCombo(control);
    return combo ? combo->currentIndex() : 0;
}

int32_t Data32(QWidget *control, int index)
{
    const QComboBox *combo = AsCombo(control);
    return combo ? int32_t(ComboItemData(combo, index)) : 0;
}

const QString kMsgInt = QString::fromUtf8("Vložte číslo mezi %1 a %2.");
const QString kMsgDate = QString::fromUtf8("Vložte datum ve správném formátu (např. 17.5.1997)");

// Word 8 of DDX_INT: the width of its variable in bytes.
constexpr int32_t kInt32Width = sizeof(int32_t);
constexpr int32_t kInt64Width = sizeof(int64_t);

// A list choice in a combo box with edit field is taken only below this length.
constexpr qsizetype kListChoiceMax = 100;

// --- showing ------------------------------------------------------------------

QString DecimalText(int64_t value, int32_t flags)
{
    return (flags & DDX_EMPTY_IF_ZERO) && value == 0 ? QString() : QString::number(value);
}

QString HexTextOrEmpty(uint32_t value, int32_t flags)
{
    return (flags & DDX_EMPTY_IF_ZERO) && value == 0 ? QString() : HexText(value);
}

QString DoubleText(const DDX_Binding &b)
{
    const double value = *static_cast<double *>(b.var);
    if ((b.w9 & DDX_EMPTY_IF_ZERO) && value == 0.0)
        return {};
    if (b.w4)
        return FormatWithText(reinterpret_cast<const char *>(b.w4), value);
    if (b.w9 & DDX_WHOLE_GROUPED)
        return GroupDigits(FormatFixed(value, 0));
    if (b.w9 & DDX_CENTS_GROUPED)
        return GroupDigits(FormatFixed(value, 2));
    return FormatG15(value);
}

// The first item whose text matches; none leaves no selection.
template <typename Matches>
void SelectFirstMatch(QComboBox *combo, const Matches &matches)
{
    int found = -1;
    for (int i = 0; i < combo->count() && found < 0; ++i)
        if (matches(combo->itemText(i)))
            found = i;
    combo->setCurrentIndex(found);
}

// The first item whose data equals the variable; none selects item 0 and the
// variable takes its data. An item with data -1 ends the search.
void SelectByData(QComboBox *combo, int32_t *var)
{
    for (int i = 0; i < combo->count(); ++i) {
        const int32_t data = int32_t(ComboItemData(combo, i));
        if (data == -1)
            break;
        if (data == *var) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(0);
    *var = combo->count() > 0 ? int32_t(ComboItemData(combo, 0)) : 0;
}

// As SelectByData, the item data pointing to the integers.
void SelectByDataRef(QComboBox *combo, int32_t *var)
{
    for (int i = 0; i < combo->count(); ++i) {
        const intptr_t data = ComboItemData(combo, i);
        if (data == -1)
            break;
        if (data != 0 && *reinterpret_cast<const int32_t *>(data) == *var) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(0);
    // An item without a referenced integer leaves the variable alone.
    const intptr_t data = ComboItemData(combo, 0);
    if (combo->count() > 0 && data != -1 && data != 0)
        *var = *reinterpret_cast<const int32_t *>(data);
}

void SelectForVariable(const DDX_Binding &b, QComboBox *combo)
{
    switch (b.kind) {
    case DDX_COMBO_INDEX: case DDX_COMBO_INDEX_TEXT:
        combo->setCurrentIndex(*static_cast<int32_t *>(b.var));
        break;
    case DDX_COMBO_INT: {
        const int32_t value = *static_cast<int32_t *>(b.var);
        SelectFirstMatch(combo, [value](const QString &t) { return IntegerRead(t) == value; });
        break;
    }
    case DDX_COMBO_DOUBLE: {
        const double value = *static_cast<double *>(b.var);
        SelectFirstMatch(combo, [value](const QString &t) { return DecimalRead(t) == value; });
        break;
    }
    case DDX_COMBO_HEX: {
        const uint32_t value = *static_cast<uint32_t *>(b.var);
        SelectFirstMatch(combo, [value](const QString &t) { return HexRead(t) == value; });
        break;
    }
    case DDX_COMBO_TEXT: case DDX_COMBO_TEXT_W:
        combo->setCurrentIndex(ComboFindStringExact(combo, VariableText(b)));
        break;
    case DDX_COMBO_DATA_REF:
        SelectByDataRef(combo, static_cast<int32_t *>(b.var));
        break;
    case DDX_COMBO_DATA: case DDX_COMBO_DATA_TEXT: case DDX_COMBO_DATA_TEXT_W:
        SelectByData(combo, static_cast<int32_t *>(b.var));
        break;
    default:
        break;
    }
}

void ShowComboList(const DDX_Binding &b, QWidget *control)
{
    if (QComboBox *combo = AsCombo(control))
        SelectForVariable(b, combo);
    // The wide variant also hands the shown text to its second buffer.
    if (b.kind == DDX_COMBO_DATA_TEXT_W)
        StoreSecondText(b, ControlText(control));
}

void ShowComboEdit(const DDX_Binding &b, QWidget *control)
{
    switch (b.kind) {
    case DDX_COMBO_EDIT_TEXT: case DDX_COMBO_EDIT_TEXT_W:
        SetControlText(control, VariableText(b));
        break;
    case DDX_COMBO_EDIT_INT:
        SetControlText(control, DecimalText(*static_cast<int32_t *>(b.var), b.w6));
        break;
    case DDX_COMBO_EDIT_HEX:
        SetControlText(control, HexTextOrEmpty(*static_cast<uint32_t *>(b.var), b.w6));
        break;
    default:
        break;
    }
}

void ShowNumber(const DDX_Binding &b, QWidget *control)
{
    switch (b.kind) {
    case DDX_INT:
        SetControlText(control, b.w8 == kInt64Width ? DecimalText(*static_cast<int64_t *>(b.var), b.w6)
                                          : DecimalText(*static_cast<int32_t *>(b.var), b.w6));
        break;
    case DDX_HEX:
        SetControlText(control, HexTextOrEmpty(*static_cast<uint32_t *>(b.var), b.w6));
        break;
    case DDX_DOUBLE:
        SetControlText(control, DoubleText(b));
        break;
    default:
        break;
    }
}

void ShowDate(const DDX_Binding &b, QWidget *control)
{
    auto *picker = qobject_cast<QDateEdit *>(control);
    switch (b.kind) {
    case DDX_DATE: {
        const auto *d = static_cast<const DDX_Date *>(b.var);
        SetControlText(control, d->day == 0 && d->month == 0 && d->year == 0
                                    ? QString()
                                    : QStringLiteral("%1.%2.%3").arg(d->day).arg(d->month).arg(d->year));
        break;
    }
    case DDX_DATE_PICKER: {
        const auto *d = static_cast<const DDX_Date *>(b.var);
        SetPickerDate(picker, d->year, d->month, d->day);
        break;
    }
    case DDX_DATE_PICKER_STAMP: {
        const auto *d = static_cast<const DDX_Timestamp *>(b.var);
        SetPickerDate(picker, d->year, d->month, d->day);
        break;
    }
    case DDX_DATE_PICKER_YMD: {
        const auto *d = static_cast<const DDX_DateStruct *>(b.var);
        SetPickerDate(picker, d->year, d->month, d->day);
        break;
    }
    default:
        break;
    }
}

bool IsBitNumber(int32_t bit)
{
    return bit >= 0 && bit <= 31;
}

void ShowButton(const DDX_Binding &b, QWidget *control)
{
    QAbstractButton *button = AsButton(control);
    switch (b.kind) {
    case DDX_CHECK:
        SetButtonCheck(button, *static_cast<uint8_t *>(b.var));
        break;
    case DDX_RADIO:
        SetButtonCheck(button, *static_cast<int8_t *>(b.var) == b.w4 ? 1 : 0);
        break;
    case DDX_CHECK_CHAR: case DDX_CHECK_CHAR_ZERO:
        SetButtonCheck(button, *static_cast<char *>(b.var) == '1' ? 1 : 0);
        break;
    case DDX_CHECK_BIT:
        if (IsBitNumber(b.w6))
            SetButtonCheck(button, (*static_cast<uint32_t *>(b.var) >> b.w6) & 1u);
        break;
    default:
        break;
    }
}

// --- reading ------------------------------------------------------------------

// The selected item's data; data -1 stands for the selection index; no
// selection leaves the variable alone.
void ReadData(const DDX_Binding &b, QWidget *control)
{
    const int sel = CurSel(control);
    if (sel < 0)
        return;
    const int32_t data = Data32(control, sel);
    *static_cast<int32_t *>(b.var) = data == -1 ? sel : data;
}

// As ReadData, the item data pointing to the integers.
void ReadDataRef(const DDX_Binding &b, QWidget *control)
{
    const int sel = CurSel(control);
    if (sel < 0)
        return;
    const QComboBox *combo = AsCombo(control);
    const intptr_t data = combo ? ComboItemData(combo, sel) : 0;
    if (data == -1)
        *static_cast<int32_t *>(b.var) = sel;
    else if (data != 0) // an item without a referenced integer leaves the variable alone
        *static_cast<int32_t *>(b.var) = *reinterpret_cast<const int32_t *>(data);
}

// Out-of-range values are corrected in the variable and in the control,
// without a message.
void ReadClamped(const DDX_Binding &b, QWidget *control)
{
    int32_t value = IntegerRead(ControlText(control));
    const int32_t low = int32_t(b.w4), high = b.w5;
    if (low != 0 || high != 0) {
        if (value < low) {
            value = low;
            SetControlText(control, QString::number(value));
        }
        if (value > high) {
            value = high;
            SetControlText(control, QString::number(value));
        }
    }
    *static_cast<int32_t *>(b.var) = value;
}

void ReadComboList(const DDX_Binding &b, QWidget *control)
{
    switch (b.kind) {
    case DDX_COMBO_INDEX:
        *static_cast<int32_t *>(b.var) = CurSel(control);
        break;
    case DDX_COMBO_INT:
        ReadClamped(b, control);
        break;
    case DDX_COMBO_DOUBLE:
        *static_cast<double *>(b.var) = DecimalRead(ControlText(control));
        break;
    case DDX_COMBO_HEX:
        *static_cast<uint32_t *>(b.var) = HexRead(ControlText(control));
        break;
    case DDX_COMBO_TEXT: case DDX_COMBO_TEXT_W:
        StoreVariableText(b, ControlText(control));
        break;
    case DDX_COMBO_DATA_REF:
        ReadDataRef(b, control);
        break;
    case DDX_COMBO_DATA:
        ReadData(b, control);
        break;
    case DDX_COMBO_INDEX_TEXT:
        *static_cast<int32_t *>(b.var) = CurSel(control);
        StoreSecondText(b, ControlText(control));
        break;
    case DDX_COMBO_DATA_TEXT: case DDX_COMBO_DATA_TEXT_W:
        ReadData(b, control);
        StoreSecondText(b, ControlText(control));
        break;
    default:
        break;
    }
}

void ReadComboEdit(const DDX_Binding &b, QWidget *control)
{
    switch (b.kind) {
    case DDX_COMBO_EDIT_TEXT: case DDX_COMBO_EDIT_TEXT_W:
        StoreVariableText(b, ControlText(control));
        break;
    case DDX_COMBO_EDIT_INT:
        ReadClamped(b, control);
        break;
    case DDX_COMBO_EDIT_HEX:
        *static_cast<uint32_t *>(b.var) = HexRead(ControlText(control));
        break;
    default:
        break;
    }
}

// A list choice in a combo box with edit field: a text only when it fits its
// buffer, a number from a short text, converted without removing blanks and
// not clamped. False when nothing was stored.
bool StoreListChoice(const DDX_Binding &b, const QString &text)
{
    switch (b.kind) {
    case DDX_COMBO_EDIT_TEXT:
        if (QStringToAnsi(text).size() >= b.w4)
            return false;
        StoreNarrow(b.var, b.w4, text);
        return true;
    case DDX_COMBO_EDIT_TEXT_W:
        if (text.size() >= b.w4)
            return false;
        StoreWide(b.var, b.w4, text);
        return true;
    case DDX_COMBO_EDIT_INT:
        if (text.size() >= kListChoiceMax)
            return false;
        *static_cast<int32_t *>(b.var) =
            int32_t(ParseDecimal(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        return true;
    case DDX_COMBO_EDIT_HEX:
        if (text.size() >= kListChoiceMax)
            return false;
        *static_cast<uint32_t *>(b.var) = HexRead(text);
        return true;
    default:
        return false;
    }
}

// Both limits zero mean no limit; limits are inclusive.
template <typename T>
bool InRange(T value, T low, T high)
{
    return (low == 0 && high == 0) || (low <= value && value <= high);
}

void StoreDate(void *var, uint32_t day, uint32_t month, uint32_t year)
{
    auto *date = static_cast<DDX_Date *>(var);
    date->day = uint8_t(day);
    date->month = uint8_t(month);
    date->year = uint16_t(year);
}

} // namespace

DDX_Robot::DDX_Robot() = default;
DDX_Robot::~DDX_Robot() = default;

void DDX_Robot::Bind(int id, int kind, void *var, intptr_t w4, int32_t w5, int32_t w6, int32_t w7, int32_t w8,
                     int32_t w9)
{
    if (m_count == m_capacity) {
        m_capacity += 10;
        m_bindings.reserve(size_t(m_capacity));
    }
    m_bindings.push_back(DDX_Binding{id, kind, var, w4, w5, w6, w7, w8, w9});
    ++m_count;
}

void DDX_Robot::BindText(int id, char *buffer, int capacity)
{
    Bind(id, DDX_TEXT, buffer, capacity);
    if (auto *edit = qobject_cast<QLineEdit *>(Control(id)))
        edit->setMaxLength(capacity > 1 ? capacity - 1 : 32767); // a limit of 0 means the default
}

void DDX_Robot::BindText(int id, char16_t *buffer, int capacity)
{
    Bind(id, DDX_TEXT_W, buffer, capacity);
    if (auto *edit = qobject_cast<QLineEdit *>(Control(id)))
        edit->setMaxLength(capacity > 1 ? capacity - 1 : 32767);
}

void DDX_Robot::BindComboIndex(int id, int32_t *index) { Bind(id, DDX_COMBO_INDEX, index); }
void DDX_Robot::BindComboIndex(int id, uint32_t *index) { Bind(id, DDX_COMBO_INDEX, index); }
void DDX_Robot::BindComboData(int id, int32_t *value) { Bind(id, DDX_COMBO_DATA, value); }
void DDX_Robot::BindComboData(int id, uint32_t *value) { Bind(id, DDX_COMBO_DATA, value); }
void DDX_Robot::BindCheck(int id, uint8_t *state) { Bind(id, DDX_CHECK, state); }

void DDX_Robot::BindRadioGroup(int firstId, int8_t *position)
{
    if (!m_owner)
        return;
    int i = m_owner->ControlIndex(firstId);
    if (i < 0)
        return;
    int next = 0;
    for (;;) {
        if (IsRadioButton(m_owner->ControlAt(i)))
            Bind(m_owner->ControlIdAt(i), DDX_RADIO, position, next++);
        ++i;
        if (i >= m_owner->ControlCount() || m_owner->ControlHasStyle(i, StyleGroup))
            break;
    }
}

void DDX_Robot::BindRadioGroup(int firstId, uint8_t *position)
{
    BindRadioGroup(firstId, reinterpret_cast<int8_t *>(position));
}

void DDX_Robot::BindComboEditText(int id, char *buffer, int capacity)
{
    Bind(id, DDX_COMBO_EDIT_TEXT, buffer, capacity);
}
void DDX_Robot::BindComboEditText(int id, char16_t *buffer, int capacity)
{
    Bind(id, DDX_COMBO_EDIT_TEXT_W, buffer, capacity);
}
void DDX_Robot::BindComboInt(int id, int32_t *value, int low, int high) { Bind(id, DDX_COMBO_INT, value, low, high); }
void DDX_Robot::BindComboEditInt(int id, int32_t *value, int low, int high, int32_t flags)
{
    Bind(id, DDX_COMBO_EDIT_INT, value, low, high, flags);
}
void DDX_Robot::BindComboEditHex(int id, int32_t *value, int32_t flags)
{
    Bind(id, DDX_COMBO_EDIT_HEX, value, 0, 0, flags);
}
void DDX_Robot::BindComboDouble(int id, double *value) { Bind(id, DDX_COMBO_DOUBLE, value); }
void DDX_Robot::BindComboHex(int id, int32_t *value) { Bind(id, DDX_COMBO_HEX, value); }
void DDX_Robot::BindComboText(int id, char *buffer, int capacity) { Bind(id, DDX_COMBO_TEXT, buffer, capacity); }
void DDX_Robot::BindComboText(int id, char16_t *buffer, int capacity) { Bind(id, DDX_COMBO_TEXT_W, buffer, capacity); }
void DDX_Robot::BindComboDataRef(int id, int32_t *value) { Bind(id, DDX_COMBO_DATA_REF, value); }
void DDX_Robot::BindComboIndexText(int id, int32_t *index, char *text, int capacity)
{
    Bind(id, DDX_COMBO_INDEX_TEXT, index, reinterpret_cast<intptr_t>(text), capacity);
}
void DDX_Robot::BindComboDataText(int id, int32_t *value, char *text, int capacity)
{
    Bind(id, DDX_COMBO_DATA_TEXT, value, reinterpret_cast<intptr_t>(text), capacity);
}
void DDX_Robot::BindComboDataText(int id, int32_t *value, char16_t *text, int capacity)
{
    Bind(id, DDX_COMBO_DATA_TEXT_W, value, reinterpret_cast<intptr_t>(text), capacity);
}
void DDX_Robot::BindInt(int id, int32_t *value, int low, int high, int32_t flags)
{
    Bind(id, DDX_INT, value, low, high, flags, 0, kInt32Width);
}
void DDX_Robot::BindInt64(int id, int64_t *value, int32_t flags)
{
    Bind(id, DDX_INT, value, 0, 0, flags, 0, kInt64Width);
}
void DDX_Robot::BindHex(int id, int32_t *value, int low, int high, int32_t flags)
{
    Bind(id, DDX_HEX, value, low, high, flags);
}
void DDX_Robot::BindDouble(int id, double *value, double low, double high, int32_t flags, const char *format)
{
    int32_t w5, w6, w7, w8;
    DoubleToWords(low, &w5, &w6);
    DoubleToWords(high, &w7, &w8);
    Bind(id, DDX_DOUBLE, value, reinterpret_cast<intptr_t>(format), w5, w6, w7, w8, flags);
}
void DDX_Robot::BindDate(int id, DDX_Date *date) { Bind(id, DDX_DATE, date); }
void DDX_Robot::BindCheckChar(int id, char *state, bool zeroWhenClear)
{
    Bind(id, zeroWhenClear ? DDX_CHECK_CHAR_ZERO : DDX_CHECK_CHAR, state);
}
void DDX_Robot::BindCheckBit(int id, uint32_t *bits, int bit) { Bind(id, DDX_CHECK_BIT, bits, 0, 0, bit); }
void DDX_Robot::BindDatePicker(int id, DDX_Date *date) { Bind(id, DDX_DATE_PICKER, date); }
void DDX_Robot::BindDatePicker(int id, DDX_Timestamp *stamp) { Bind(id, DDX_DATE_PICKER_STAMP, stamp); }
void DDX_Robot::BindDatePicker(int id, DDX_DateStruct *date) { Bind(id, DDX_DATE_PICKER_YMD, date); }
void DDX_Robot::BindIpAddress(int id, uint32_t *address) { Bind(id, DDX_IP_ADDRESS, address); }

bool DDX_Robot::HasWindow() const
{
    return m_owner && m_owner->HasWindow();
}

QWidget *DDX_Robot::Control(int id) const
{
    return m_owner ? m_owner->GetDlgItem(id) : nullptr;
}

bool DDX_Robot::SetNotify(bool on)
{
    const bool previous = m_notify != 0;
    m_notify = on ? 1 : 0;
    return previous;
}

void DDX_Robot::OnChange(int)
{
}

void DDX_Robot::CallOnChange(int id)
{
    if (m_inChange)
        return;
    m_changingId = id;
    m_inChange = 1;
    OnChange(id);
    m_inChange = 0;
    m_changingId = 0;
}

void DDX_Robot::UpdateControls()
{
    if (!HasWindow())
        return;
    const bool previous = SetNotify(false);
    for (int i = 0; i < m_count; ++i) {
        // The control the user is editing keeps its text, caret and selection.
        if (m_inChange && m_bindings[size_t(i)].id == m_changingId)
            continue;
        Show(i);
    }
    SetNotify(previous);
    CallOnChange(0);
}

void DDX_Robot::ReadControls()
{
    if (!HasWindow())
        return;
    for (int i = 0; i < m_count; ++i)
        Read(i, true);
}

void DDX_Robot::RobotCommand(int code, int id)
{
    if (code == EN_CHANGE || code == EN_KILLFOCUS || code == CBN_EDITCHANGE || code == CBN_SELCHANGE
        || code == BN_CLICKED)
        ExchangeLive(code, id);
}

void DDX_Robot::RobotNotify(int code, int id)
{
    if (code == DTN_DATETIMECHANGE)
        ExchangeLive(code, id);
}

void DDX_Robot::ExchangeLive(int code, int id)
{
    // Only the first record of a control takes part in the live exchange.
    for (int i = 0; i < m_count; ++i) {
        if (m_bindings[size_t(i)].id != id)
            continue;
        if (Live(i, code) && m_notify)
            CallOnChange(id);
        return;
    }
}

void DDX_Robot::RobotLock(bool lock)
{
    for (int i = 0; i < m_count; ++i) {
        const DDX_Binding &b = m_bindings[size_t(i)];
        if (FamilyOf(b.kind) == KindFamily::None)
            continue;
        QWidget *control = Control(b.id);
        if (!control)
            continue;
        if (IsTextEntryKind(b.kind))
            SetControlReadOnly(control, lock);
        else
            control->setEnabled(!lock);
    }
}

void DDX_Robot::CheckFailed(QWidget *control, const QString &message)
{
    // While the message is up and the focus goes back, other fields losing
    // the focus are not checked, so two rejected fields cannot take turns.
    m_inCheckMessage = true;
    ShowMessageBox(m_owner, message, QGuiApplication::applicationDisplayName(), MsgIcon::Warning);
    if (control) {
        control->setFocus(Qt::OtherFocusReason);
        SelectAllText(control);
    }
    m_inCheckMessage = false;
}

void DDX_Robot::Show(int index)
{
    const DDX_Binding b = m_bindings[size_t(index)];
    QWidget *control = Control(b.id);
    if (!control || !b.var)
        return;
    switch (FamilyOf(b.kind)) {
    case KindFamily::Text:
        SetControlText(control, VariableText(b));
        break;
    case KindFamily::ComboList:
        ShowComboList(b, control);
        break;
    case KindFamily::ComboEdit:
        ShowComboEdit(b, control);
        break;
    case KindFamily::Number:
        ShowNumber(b, control);
        break;
    case KindFamily::Date:
        ShowDate(b, control);
        break;
    case KindFamily::Button:
        ShowButton(b, control);
        break;
    case KindFamily::Address:
        SetIpAddress(qobject_cast<QLineEdit *>(control), *static_cast<uint32_t *>(b.var));
        break;
    case KindFamily::None:
        break;
    }
}

void DDX_Robot::ReadRadioGroup(int index)
{
    const DDX_Binding &b = m_bindings[size_t(index)];
    int first = index - int(b.w4);
    if (first < 0 || m_bindings[size_t(first)].kind != DDX_RADIO || m_bindings[size_t(first)].w4 != 0)
        first = index;
    auto *position = static_cast<int8_t *>(b.var);
    *position = -1;
    for (int i = first, expected = int(m_bindings[size_t(first)].w4);
         i < m_count && m_bindings[size_t(i)].kind == DDX_RADIO && m_bindings[size_t(i)].w4 == expected;
         ++i, ++expected) {
        if (ButtonCheck(AsButton(Control(m_bindings[size_t(i)].id))))
            *position = int8_t(expected);
    }
}

bool DDX_Robot::Read(int index, bool checks)
{
    const DDX_Binding b = m_bindings[size_t(index)];
    if (!b.var)
        return false;
    QWidget *control = Control(b.id);
    switch (FamilyOf(b.kind)) {
    case KindFamily::Text:
        StoreVariableText(b, ControlText(control));
        return true;
    case KindFamily::ComboList:
        ReadComboList(b, control);
        return true;
    case KindFamily::ComboEdit:
        ReadComboEdit(b, control);
        return true;
    case KindFamily::Number:
        return ReadNumber(b, control, checks);
    case KindFamily::Date:
        ReadDate(b, control, checks);
        return true;
    case KindFamily::Button:
        return ReadButton(index, b, control);
    case KindFamily::Address:
        *static_cast<uint32_t *>(b.var) = IpAddress(qobject_cast<QLineEdit *>(control));
        return true;
    case KindFamily::None:
        break;
    }
    return false;
}

bool DDX_Robot::RangeAccepts(bool inRange, double low, bool checks, QWidget *control, const QString &message)
{
    if (inRange)
        return true;
    if (checks) {
        CheckFailed(control, message);
        return false;
    }
    return low > 0; // while typing, a value on its way up to the range is kept
}

bool DDX_Robot::ReadNumber(const DDX_Binding &b, QWidget *control, bool checks)
{
    switch (b.kind) {
    case DDX_INT: {
        if (b.w8 == kInt64Width) {
            *static_cast<int64_t *>(b.var) = IntegerRead64(ControlText(control));
            return true;
        }
        const int32_t value = IntegerRead(ControlText(control));
        const int32_t low = int32_t(b.w4), high = b.w5;
        if (RangeAccepts(InRange(value, low, high), low, checks, control, kMsgInt.arg(low).arg(high)))
            *static_cast<int32_t *>(b.var) = value;
        return true;
    }
    case DDX_HEX: {
        const uint32_t raw = HexRead(ControlText(control));
        const int32_t low = int32_t(b.w4), high = b.w5;
        if (RangeAccepts(InRange(int32_t(raw), low, high), low, checks, control,
                         kMsgInt.arg(HexText(uint32_t(low)), HexText(uint32_t(high)))))
            *static_cast<uint32_t *>(b.var) = raw;
        return true;
    }
    case DDX_DOUBLE: {
        if (b.w9 & (DDX_WHOLE_GROUPED | DDX_CENTS_GROUPED))
            return false; // display only
        const double value = DecimalRead(ControlText(control));
        const double low = WordsToDouble(b.w5, b.w6), high = WordsToDouble(b.w7, b.w8);
        const bool inRange = InRange(value, low, high) || (value == 0 && (b.w9 & DDX_ZERO_ACCEPTED));
        if (RangeAccepts(inRange, low, checks, control, kMsgInt.arg(FormatG15(low), FormatG15(high))))
            *static_cast<double *>(b.var) = value;
        return true;
    }
    default:
        return false;
    }
}

void DDX_Robot::ReadDate(const DDX_Binding &b, QWidget *control, bool checks)
{
    if (b.kind == DDX_DATE) {
        const ScannedDate d = ScanDate(ControlText(control));
        if (DateAccepted(d))
            StoreDate(b.var, d.day, d.month, d.year);
        else if (checks)
            CheckFailed(control, kMsgDate);
        return;
    }
    int year, month, day;
    PickerDate(qobject_cast<QDateEdit *>(control), &year, &month, &day);
    if (b.kind == DDX_DATE_PICKER)
        StoreDate(b.var, uint32_t(day), uint32_t(month), uint32_t(year));
    else if (b.kind == DDX_DATE_PICKER_STAMP)
        *static_cast<DDX_Timestamp *>(b.var) =
            DDX_Timestamp{uint16_t(year), uint16_t(month), uint16_t(day), 0, 0, 0, 0};
    else
        *static_cast<DDX_DateStruct *>(b.var) = DDX_DateStruct{uint16_t(year), uint16_t(month), uint16_t(day)};
}

bool DDX_Robot::ReadButton(int index, const DDX_Binding &b, QWidget *control)
{
    const QAbstractButton *button = AsButton(control);
    switch (b.kind) {
    case DDX_CHECK:
        *static_cast<uint8_t *>(b.var) = uint8_t(ButtonCheck(button));
        return true;
    case DDX_RADIO:
        ReadRadioGroup(index);
        return true;
    case DDX_CHECK_CHAR:
        *static_cast<char *>(b.var) = ButtonCheck(button) ? '1' : ' ';
        return true;
    case DDX_CHECK_CHAR_ZERO:
        *static_cast<char *>(b.var) = ButtonCheck(button) ? '1' : '0';
        return true;
    case DDX_CHECK_BIT: {
        if (!IsBitNumber(b.w6))
            return false;
        auto *bits = static_cast<uint32_t *>(b.var);
        if (ButtonCheck(button))
            *bits |= 1u << b.w6;
        else
            *bits &= ~(1u << b.w6);
        return true;
    }
    default:
        return false;
    }
}

bool DDX_Robot::Live(int index, int code)
{
    const DDX_Binding b = m_bindings[size_t(index)];
    if (!b.var)
        return false;
    switch (FamilyOf(b.kind)) {
    case KindFamily::Text:
        return code == EN_CHANGE && Read(index, false);
    case KindFamily::ComboList:
        return code == CBN_SELCHANGE && Read(index, false);
    case KindFamily::ComboEdit:
        return LiveComboEdit(index, b, code);
    case KindFamily::Number:
    case KindFamily::Address:
        return LiveCheckedEdit(index, code);
    case KindFamily::Date:
        if (b.kind == DDX_DATE)
            return LiveCheckedEdit(index, code);
        return code == DTN_DATETIMECHANGE && Read(index, false);
    case KindFamily::Button:
        return LiveButton(index, b, code);
    case KindFamily::None:
        break;
    }
    return false;
}

bool DDX_Robot::LiveComboEdit(int index, const DDX_Binding &b, int code)
{
    if (code == CBN_EDITCHANGE)
        return Read(index, false);
    if (code != CBN_SELCHANGE)
        return false;
    const QComboBox *combo = AsCombo(Control(b.id));
    if (!combo || combo->currentIndex() < 0)
        return false;
    return StoreListChoice(b, combo->itemText(combo->currentIndex()));
}

bool DDX_Robot::LiveCheckedEdit(int index, int code)
{
    if (code == EN_CHANGE)
        return Read(index, false);
    if (code == EN_KILLFOCUS && !m_inCheckMessage)
        return Read(index, true);
    return false;
}

bool DDX_Robot::LiveButton(int index, const DDX_Binding &b, int code)
{
    if (code != BN_CLICKED)
        return false;
    if (b.kind != DDX_RADIO)
        return Read(index, false);
    // A radio button stores its position only when the click left it checked.
    if (!ButtonCheck(AsButton(Control(b.id))))
        return false;
    *static_cast<int8_t *>(b.var) = int8_t(b.w4);
    return true;
}
