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

// A hexadecimal number as "%X" scans it from the first 255 characters:
// white space, a sign, an optional 0x; no number gives 0.
uint32_t HexRead(const QString &text)
{
    const QStringView t = QStringView(text).left(255);
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

// "%u.%u.%u" over the first 255 characters; missing parts stay 0.
ScannedDate ScanDate(const QString &text)
{
    const QStringView t = QStringView(text).left(255);
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

bool IsTextEntryKind(int kind)
{
    return (kind >= 1 && kind <= 4) || (kind >= 20 && kind <= 23) || kind == 32;
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
    Bind(id, 1, buffer, capacity);
    if (auto *edit = qobject_cast<QLineEdit *>(Control(id)))
        edit->setMaxLength(capacity > 1 ? capacity - 1 : 32767); // a limit of 0 means the default
}

void DDX_Robot::BindText(int id, char16_t *buffer, int capacity)
{
    Bind(id, 2, buffer, capacity);
    if (auto *edit = qobject_cast<QLineEdit *>(Control(id)))
        edit->setMaxLength(capacity > 1 ? capacity - 1 : 32767);
}

void DDX_Robot::BindComboIndex(int id, int32_t *index) { Bind(id, 7, index); }
void DDX_Robot::BindComboIndex(int id, uint32_t *index) { Bind(id, 7, index); }
void DDX_Robot::BindComboData(int id, int32_t *value) { Bind(id, 16, value); }
void DDX_Robot::BindComboData(int id, uint32_t *value) { Bind(id, 16, value); }
void DDX_Robot::BindCheck(int id, uint8_t *state) { Bind(id, 24, state); }

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
            Bind(m_owner->ControlIdAt(i), 25, position, next++);
        ++i;
        if (i >= m_owner->ControlCount() || m_owner->ControlHasStyle(i, StyleGroup))
            break;
    }
}

void DDX_Robot::BindRadioGroup(int firstId, uint8_t *position)
{
    BindRadioGroup(firstId, reinterpret_cast<int8_t *>(position));
}

void DDX_Robot::BindComboEditText(int id, char *buffer, int capacity) { Bind(id, 5, buffer, capacity); }
void DDX_Robot::BindComboEditText(int id, char16_t *buffer, int capacity) { Bind(id, 6, buffer, capacity); }
void DDX_Robot::BindComboInt(int id, int32_t *value, int low, int high) { Bind(id, 8, value, low, high); }
void DDX_Robot::BindComboEditInt(int id, int32_t *value, int low, int high, int32_t flags)
{
    Bind(id, 9, value, low, high, flags);
}
void DDX_Robot::BindComboEditHex(int id, int32_t *value, int32_t flags) { Bind(id, 10, value, 0, 0, flags); }
void DDX_Robot::BindComboDouble(int id, double *value) { Bind(id, 11, value); }
void DDX_Robot::BindComboHex(int id, int32_t *value) { Bind(id, 12, value); }
void DDX_Robot::BindComboText(int id, char *buffer, int capacity) { Bind(id, 13, buffer, capacity); }
void DDX_Robot::BindComboText(int id, char16_t *buffer, int capacity) { Bind(id, 14, buffer, capacity); }
void DDX_Robot::BindComboDataRef(int id, int32_t *value) { Bind(id, 15, value); }
void DDX_Robot::BindComboIndexText(int id, int32_t *index, char *text, int capacity)
{
    Bind(id, 17, index, reinterpret_cast<intptr_t>(text), capacity);
}
void DDX_Robot::BindComboDataText(int id, int32_t *value, char *text, int capacity)
{
    Bind(id, 18, value, reinterpret_cast<intptr_t>(text), capacity);
}
void DDX_Robot::BindComboDataText(int id, int32_t *value, char16_t *text, int capacity)
{
    Bind(id, 19, value, reinterpret_cast<intptr_t>(text), capacity);
}
void DDX_Robot::BindInt(int id, int32_t *value, int low, int high, int32_t flags)
{
    Bind(id, 20, value, low, high, flags, 0, 4);
}
void DDX_Robot::BindInt64(int id, int64_t *value, int32_t flags) { Bind(id, 20, value, 0, 0, flags, 0, 8); }
void DDX_Robot::BindHex(int id, int32_t *value, int low, int high, int32_t flags)
{
    Bind(id, 21, value, low, high, flags);
}
void DDX_Robot::BindDouble(int id, double *value, double low, double high, int32_t flags, const char *format)
{
    int32_t w5, w6, w7, w8;
    DoubleToWords(low, &w5, &w6);
    DoubleToWords(high, &w7, &w8);
    Bind(id, 22, value, reinterpret_cast<intptr_t>(format), w5, w6, w7, w8, flags);
}
void DDX_Robot::BindDate(int id, DDX_Date *date) { Bind(id, 23, date); }
void DDX_Robot::BindCheckChar(int id, char *state, bool zeroWhenClear) { Bind(id, zeroWhenClear ? 27 : 26, state); }
void DDX_Robot::BindCheckBit(int id, uint32_t *bits, int bit) { Bind(id, 28, bits, 0, 0, bit); }
void DDX_Robot::BindDatePicker(int id, DDX_Date *date) { Bind(id, 29, date); }
void DDX_Robot::BindDatePicker(int id, DDX_Timestamp *stamp) { Bind(id, 30, stamp); }
void DDX_Robot::BindDatePicker(int id, DDX_DateStruct *date) { Bind(id, 31, date); }
void DDX_Robot::BindIpAddress(int id, uint32_t *address) { Bind(id, 32, address); }

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
        if (b.kind < 1 || b.kind > 32)
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
    QComboBox *combo = AsCombo(control);

    // Kinds 15, 16, 18, 19: the item whose data matches; none selects item 0.
    const auto showData = [&](bool byReference) {
        if (!combo)
            return;
        const int32_t value = *static_cast<int32_t *>(b.var);
        for (int i = 0; i < combo->count(); ++i) {
            const intptr_t data = ComboItemData(combo, i);
            if (byReference ? data == -1 : int32_t(data) == -1)
                break;
            const bool match = byReference ? (data != 0 && *reinterpret_cast<const int32_t *>(data) == value)
                                           : int32_t(data) == value;
            if (match) {
                combo->setCurrentIndex(i);
                return;
            }
        }
        combo->setCurrentIndex(0);
        if (byReference) {
            // An item without a referenced integer leaves the variable alone.
            const intptr_t data = ComboItemData(combo, 0);
            if (combo->count() > 0 && data != -1 && data != 0)
                *static_cast<int32_t *>(b.var) = *reinterpret_cast<const int32_t *>(data);
        } else {
            *static_cast<int32_t *>(b.var) = combo->count() > 0 ? int32_t(ComboItemData(combo, 0)) : 0;
        }
    };
    const auto selectFirst = [&](const auto &matches) {
        if (!combo)
            return;
        int found = -1;
        for (int i = 0; i < combo->count() && found < 0; ++i)
            if (matches(combo->itemText(i)))
                found = i;
        combo->setCurrentIndex(found);
    };

    switch (b.kind) {
    case 1: case 3: case 5:
        SetControlText(control, NarrowText(b.var, b.w4));
        break;
    case 2: case 4: case 6:
        SetControlText(control, WideText(b.var, b.w4));
        break;
    case 7: case 17:
        if (combo)
            combo->setCurrentIndex(*static_cast<int32_t *>(b.var));
        break;
    case 8: {
        const int32_t value = *static_cast<int32_t *>(b.var);
        selectFirst([value](const QString &t) { return IntegerRead(t) == value; });
        break;
    }
    case 9: case 20: {
        QString text;
        if (b.kind == 20 && b.w8 == 8) {
            const int64_t value = *static_cast<int64_t *>(b.var);
            text = (b.w6 & DDX_EMPTY_IF_ZERO) && value == 0 ? QString() : QString::number(value);
        } else {
            const int32_t value = *static_cast<int32_t *>(b.var);
            text = (b.w6 & DDX_EMPTY_IF_ZERO) && value == 0 ? QString() : QString::number(value);
        }
        SetControlText(control, text);
        break;
    }
    case 10: case 21: {
        const uint32_t value = *static_cast<uint32_t *>(b.var);
        SetControlText(control, (b.w6 & DDX_EMPTY_IF_ZERO) && value == 0 ? QString() : HexText(value));
        break;
    }
    case 11: {
        const double value = *static_cast<double *>(b.var);
        selectFirst([value](const QString &t) { return DecimalRead(t) == value; });
        break;
    }
    case 12: {
        const uint32_t value = *static_cast<uint32_t *>(b.var);
        selectFirst([value](const QString &t) { return HexRead(t) == value; });
        break;
    }
    case 13: case 14:
        if (combo)
            combo->setCurrentIndex(ComboFindStringExact(
                combo, b.kind == 13 ? NarrowText(b.var, b.w4) : WideText(b.var, b.w4)));
        break;
    case 15:
        showData(true);
        break;
    case 16: case 18:
        showData(false);
        break;
    case 19:
        showData(false);
        StoreWide(reinterpret_cast<void *>(b.w4), b.w5, ControlText(control));
        break;
    case 22: {
        const double value = *static_cast<double *>(b.var);
        QString text;
        if ((b.w9 & DDX_EMPTY_IF_ZERO) && value == 0.0)
            text.clear();
        else if (b.w4)
            text = FormatWithText(reinterpret_cast<const char *>(b.w4), value);
        else if (b.w9 & DDX_WHOLE_GROUPED)
            text = GroupDigits(FormatFixed(value, 0));
        else if (b.w9 & DDX_CENTS_GROUPED)
            text = GroupDigits(FormatFixed(value, 2));
        else
            text = FormatG15(value);
        SetControlText(control, text);
        break;
    }
    case 23: {
        const auto *d = static_cast<const DDX_Date *>(b.var);
        SetControlText(control, d->day == 0 && d->month == 0 && d->year == 0
                                    ? QString()
                                    : QStringLiteral("%1.%2.%3").arg(d->day).arg(d->month).arg(d->year));
        break;
    }
    case 24:
        SetButtonCheck(AsButton(control), *static_cast<uint8_t *>(b.var));
        break;
    case 25:
        SetButtonCheck(AsButton(control), *static_cast<int8_t *>(b.var) == b.w4 ? 1 : 0);
        break;
    case 26: case 27:
        SetButtonCheck(AsButton(control), *static_cast<char *>(b.var) == '1' ? 1 : 0);
        break;
    case 28:
        if (b.w6 >= 0 && b.w6 <= 31)
            SetButtonCheck(AsButton(control), (*static_cast<uint32_t *>(b.var) >> b.w6) & 1u);
        break;
    case 29: {
        const auto *d = static_cast<const DDX_Date *>(b.var);
        SetPickerDate(qobject_cast<QDateEdit *>(control), d->year, d->month, d->day);
        break;
    }
    case 30: {
        const auto *d = static_cast<const DDX_Timestamp *>(b.var);
        SetPickerDate(qobject_cast<QDateEdit *>(control), d->year, d->month, d->day);
        break;
    }
    case 31: {
        const auto *d = static_cast<const DDX_DateStruct *>(b.var);
        SetPickerDate(qobject_cast<QDateEdit *>(control), d->year, d->month, d->day);
        break;
    }
    case 32:
        SetIpAddress(qobject_cast<QLineEdit *>(control), *static_cast<uint32_t *>(b.var));
        break;
    default:
        break;
    }
}

void DDX_Robot::ReadRadioGroup(int index)
{
    const DDX_Binding &b = m_bindings[size_t(index)];
    int first = index - int(b.w4);
    if (first < 0 || m_bindings[size_t(first)].kind != 25 || m_bindings[size_t(first)].w4 != 0)
        first = index;
    auto *position = static_cast<int8_t *>(b.var);
    *position = -1;
    for (int i = first, expected = int(m_bindings[size_t(first)].w4);
         i < m_count && m_bindings[size_t(i)].kind == 25 && m_bindings[size_t(i)].w4 == expected; ++i, ++expected) {
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
    QComboBox *combo = AsCombo(control);

    const auto readData = [&] {
        const int sel = CurSel(control);
        if (sel < 0)
            return;
        const int32_t data = Data32(control, sel);
        *static_cast<int32_t *>(b.var) = data == -1 ? sel : data;
    };
    // Kinds 8 and 9: out-of-range values are corrected in the variable and
    // in the control, without a message.
    const auto readClamped = [&] {
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
    };
    const auto rangeResult = [&](bool accepted, auto store, double low, const QString &message) {
        if (accepted) {
            store();
        } else if (checks) {
            CheckFailed(control, message);
        } else if (low > 0) {
            store(); // while typing, a value on its way up to the range is kept
        }
    };

    switch (b.kind) {
    case 1: case 3: case 5: case 13:
        StoreNarrow(b.var, b.w4, ControlText(control));
        break;
    case 2: case 4: case 6: case 14:
        StoreWide(b.var, b.w4, ControlText(control));
        break;
    case 7:
        *static_cast<int32_t *>(b.var) = CurSel(control);
        break;
    case 8: case 9:
        readClamped();
        break;
    case 10: case 12:
        *static_cast<uint32_t *>(b.var) = HexRead(ControlText(control));
        break;
    case 11:
        *static_cast<double *>(b.var) = DecimalRead(ControlText(control));
        break;
    case 15: {
        const int sel = CurSel(control);
        if (sel < 0)
            break;
        const intptr_t data = combo ? ComboItemData(combo, sel) : 0;
        if (data == -1)
            *static_cast<int32_t *>(b.var) = sel;
        else if (data != 0) // an item without a referenced integer leaves the variable alone
            *static_cast<int32_t *>(b.var) = *reinterpret_cast<const int32_t *>(data);
        break;
    }
    case 16:
        readData();
        break;
    case 17:
        *static_cast<int32_t *>(b.var) = CurSel(control);
        StoreNarrow(reinterpret_cast<void *>(b.w4), b.w5, ControlText(control));
        break;
    case 18:
        readData();
        StoreNarrow(reinterpret_cast<void *>(b.w4), b.w5, ControlText(control));
        break;
    case 19:
        readData();
        StoreWide(reinterpret_cast<void *>(b.w4), b.w5, ControlText(control));
        break;
    case 20: {
        if (b.w8 == 8) {
            *static_cast<int64_t *>(b.var) = IntegerRead64(ControlText(control));
            break;
        }
        const int32_t value = IntegerRead(ControlText(control));
        const int32_t low = int32_t(b.w4), high = b.w5;
        rangeResult((low == 0 && high == 0) || (low <= value && value <= high),
                    [&] { *static_cast<int32_t *>(b.var) = value; }, low, kMsgInt.arg(low).arg(high));
        break;
    }
    case 21: {
        const uint32_t raw = HexRead(ControlText(control));
        const int32_t value = int32_t(raw);
        const int32_t low = int32_t(b.w4), high = b.w5;
        rangeResult((low == 0 && high == 0) || (low <= value && value <= high),
                    [&] { *static_cast<uint32_t *>(b.var) = raw; }, low,
                    kMsgInt.arg(HexText(uint32_t(low)), HexText(uint32_t(high))));
        break;
    }
    case 22: {
        if (b.w9 & (DDX_WHOLE_GROUPED | DDX_CENTS_GROUPED))
            return false; // display only
        const double value = DecimalRead(ControlText(control));
        const double low = WordsToDouble(b.w5, b.w6), high = WordsToDouble(b.w7, b.w8);
        const bool accepted = (low == 0 && high == 0) || (low <= value && value <= high)
            || (value == 0 && (b.w9 & DDX_ZERO_ACCEPTED));
        rangeResult(accepted, [&] { *static_cast<double *>(b.var) = value; }, low,
                    kMsgInt.arg(FormatG15(low), FormatG15(high)));
        break;
    }
    case 23: {
        const ScannedDate d = ScanDate(ControlText(control));
        if (DateAccepted(d)) {
            auto *date = static_cast<DDX_Date *>(b.var);
            date->day = uint8_t(d.day);
            date->month = uint8_t(d.month);
            date->year = uint16_t(d.year);
        } else if (checks) {
            CheckFailed(control, kMsgDate);
        }
        break;
    }
    case 24:
        *static_cast<uint8_t *>(b.var) = uint8_t(ButtonCheck(AsButton(control)));
        break;
    case 25:
        ReadRadioGroup(index);
        break;
    case 26:
        *static_cast<char *>(b.var) = ButtonCheck(AsButton(control)) ? '1' : ' ';
        break;
    case 27:
        *static_cast<char *>(b.var) = ButtonCheck(AsButton(control)) ? '1' : '0';
        break;
    case 28: {
        if (b.w6 < 0 || b.w6 > 31)
            return false;
        auto *bits = static_cast<uint32_t *>(b.var);
        if (ButtonCheck(AsButton(control)))
            *bits |= 1u << b.w6;
        else
            *bits &= ~(1u << b.w6);
        break;
    }
    case 29: case 30: case 31: {
        int year, month, day;
        PickerDate(qobject_cast<QDateEdit *>(control), &year, &month, &day);
        if (b.kind == 29) {
            auto *d = static_cast<DDX_Date *>(b.var);
            d->day = uint8_t(day);
            d->month = uint8_t(month);
            d->year = uint16_t(year);
        } else if (b.kind == 30) {
            auto *d = static_cast<DDX_Timestamp *>(b.var);
            *d = DDX_Timestamp{uint16_t(year), uint16_t(month), uint16_t(day), 0, 0, 0, 0};
        } else {
            auto *d = static_cast<DDX_DateStruct *>(b.var);
            *d = DDX_DateStruct{uint16_t(year), uint16_t(month), uint16_t(day)};
        }
        break;
    }
    case 32:
        *static_cast<uint32_t *>(b.var) = IpAddress(qobject_cast<QLineEdit *>(control));
        break;
    default:
        return false;
    }
    return true;
}

bool DDX_Robot::Live(int index, int code)
{
    const DDX_Binding b = m_bindings[size_t(index)];
    if (!b.var)
        return false;
    QWidget *control = Control(b.id);
    QComboBox *combo = AsCombo(control);
    // The newly selected list item's text, for the list-text rules.
    const auto selectedText = [&](QString *text) {
        if (!combo || combo->currentIndex() < 0)
            return false;
        *text = combo->itemText(combo->currentIndex());
        return true;
    };

    switch (b.kind) {
    case 1: case 2: case 3: case 4:
        return code == EN_CHANGE && Read(index, false);
    case 5: case 6:
        if (code == CBN_EDITCHANGE)
            return Read(index, false);
        if (code == CBN_SELCHANGE) {
            QString text;
            if (!selectedText(&text))
                return false;
            const qsizetype length = b.kind == 5 ? QStringToAnsi(text).size() : text.size();
            if (length >= b.w4)
                return false;
            if (b.kind == 5)
                StoreNarrow(b.var, b.w4, text);
            else
                StoreWide(b.var, b.w4, text);
            return true;
        }
        return false;
    case 7: case 8: case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 18: case 19:
        return code == CBN_SELCHANGE && Read(index, false);
    case 9: case 10:
        if (code == CBN_EDITCHANGE)
            return Read(index, false);
        if (code == CBN_SELCHANGE) {
            QString text;
            if (!selectedText(&text) || text.size() >= 100)
                return false;
            if (b.kind == 9)
                *static_cast<int32_t *>(b.var) = int32_t(ParseDecimal(text, std::numeric_limits<int32_t>::min(),
                                                                      std::numeric_limits<int32_t>::max()));
            else
                *static_cast<uint32_t *>(b.var) = HexRead(text);
            return true;
        }
        return false;
    case 20: case 21: case 22: case 23: case 32:
        if (code == EN_CHANGE)
            return Read(index, false);
        if (code == EN_KILLFOCUS && !m_inCheckMessage)
            return Read(index, true);
        return false;
    case 24: case 26: case 27: case 28:
        return code == BN_CLICKED && Read(index, false);
    case 25:
        if (code != BN_CLICKED || !ButtonCheck(AsButton(control)))
            return false;
        *static_cast<int8_t *>(b.var) = int8_t(b.w4);
        return true;
    case 29: case 30: case 31:
        return code == DTN_DATETIMECHANGE && Read(index, false);
    default:
        return false;
    }
}
