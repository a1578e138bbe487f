#include "controlmessages.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStringList>
#include <QTextEdit>

#include <algorithm>

namespace {

constexpr const char *kSortedProperty = "comboSorted";
constexpr int kItemDataRole = Qt::UserRole + 1;

} // namespace

QString ControlText(const QWidget *control)
{
    if (!control)
        return {};
    if (const auto *e = qobject_cast<const QLineEdit *>(control))
        return e->text();
    if (const auto *e = qobject_cast<const QPlainTextEdit *>(control))
        return e->toPlainText();
    if (const auto *e = qobject_cast<const QTextEdit *>(control))
        return e->toPlainText();
    if (const auto *c = qobject_cast<const QComboBox *>(control))
        return c->isEditable() ? c->lineEdit()->text() : (c->currentIndex() < 0 ? QString() : c->currentText());
    if (const auto *s = qobject_cast<const QAbstractSpinBox *>(control))
        return s->text();
    if (const auto *b = qobject_cast<const QAbstractButton *>(control))
        return b->text();
    if (const auto *g = qobject_cast<const QGroupBox *>(control))
        return g->title();
    if (const auto *l = qobject_cast<const QLabel *>(control))
        return l->text();
    return control->windowTitle();
}

void SetControlText(QWidget *control, const QString &text)
{
    if (!control)
        return;
    if (auto *e = qobject_cast<QLineEdit *>(control))
        e->setText(text);
    else if (auto *e = qobject_cast<QPlainTextEdit *>(control))
        e->setPlainText(text);
    else if (auto *e = qobject_cast<QTextEdit *>(control))
        e->setPlainText(text);
    else if (auto *c = qobject_cast<QComboBox *>(control)) {
        if (c->isEditable())
            c->setEditText(text);
    } else if (qobject_cast<QAbstractSpinBox *>(control)) {
        // A picker takes its value through its own messages only.
    } else if (auto *b = qobject_cast<QAbstractButton *>(control))
        b->setText(text);
    else if (auto *g = qobject_cast<QGroupBox *>(control))
        g->setTitle(text);
    else if (auto *l = qobject_cast<QLabel *>(control))
        l->setText(text);
    else
        control->setWindowTitle(text);
}

int ButtonCheck(const QAbstractButton *button)
{
    if (!button)
        return 0;
    if (const auto *box = qobject_cast<const QCheckBox *>(button)) {
        switch (box->checkState()) {
        case Qt::Unchecked: return 0;
        case Qt::PartiallyChecked: return 2;
        case Qt::Checked: return 1;
        }
    }
    return button->isChecked() ? 1 : 0;
}

void SetButtonCheck(QAbstractButton *button, int state)
{
    if (!button)
        return;
    if (auto *box = qobject_cast<QCheckBox *>(button)) {
        if (state == 0)
            box->setCheckState(Qt::Unchecked);
        else if (state == 2 && box->isTristate())
            box->setCheckState(Qt::PartiallyChecked);
        else
            box->setCheckState(Qt::Checked);
        return;
    }
    const bool checked = state != 0;
    if (checked || !button->isChecked()) {
        button->setChecked(checked);
        return;
    }
    // An exclusive group refuses to uncheck its checked button; the platform
    // lets a program leave a whole group unchecked.
    if (QButtonGroup *group = button->group(); group && group->exclusive()) {
        group->setExclusive(false);
        button->setChecked(false);
        group->setExclusive(true);
    } else if (button->autoExclusive()) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    } else {
        button->setChecked(false);
    }
}

bool IsRadioButton(const QWidget *control)
{
    return qobject_cast<const QRadioButton *>(control) != nullptr;
}

void SetControlReadOnly(QWidget *control, bool readOnly)
{
    if (auto *e = qobject_cast<QLineEdit *>(control))
        e->setReadOnly(readOnly);
    else if (auto *e = qobject_cast<QPlainTextEdit *>(control))
        e->setReadOnly(readOnly);
    else if (auto *e = qobject_cast<QTextEdit *>(control))
        e->setReadOnly(readOnly);
    else if (auto *s = qobject_cast<QAbstractSpinBox *>(control))
        s->setReadOnly(readOnly);
    else if (auto *c = qobject_cast<QComboBox *>(control); c && c->isEditable())
        c->lineEdit()->setReadOnly(readOnly);
}

bool IsControlReadOnly(const QWidget *control)
{
    if (const auto *e = qobject_cast<const QLineEdit *>(control))
        return e->isReadOnly();
    if (const auto *e = qobject_cast<const QPlainTextEdit *>(control))
        return e->isReadOnly();
    if (const auto *e = qobject_cast<const QTextEdit *>(control))
        return e->isReadOnly();
    if (const auto *s = qobject_cast<const QAbstractSpinBox *>(control))
        return s->isReadOnly();
    if (const auto *c = qobject_cast<const QComboBox *>(control); c && c->isEditable())
        return c->lineEdit()->isReadOnly();
    return false;
}

void SelectAllText(QWidget *control)
{
    if (auto *e = qobject_cast<QLineEdit *>(control))
        e->selectAll();
    else if (auto *e = qobject_cast<QPlainTextEdit *>(control))
        e->selectAll();
    else if (auto *e = qobject_cast<QTextEdit *>(control))
        e->selectAll();
    else if (auto *s = qobject_cast<QAbstractSpinBox *>(control))
        s->selectAll();
    else if (auto *c = qobject_cast<QComboBox *>(control); c && c->isEditable())
        c->lineEdit()->selectAll();
}

void SetComboSorted(QComboBox *combo, bool sorted)
{
    combo->setProperty(kSortedProperty, sorted);
}

int ComboAddString(QComboBox *combo, const QString &text)
{
    int at = combo->count();
    if (combo->property(kSortedProperty).toBool()) {
        // After any equal items, so equal names keep the order they came in.
        int lo = 0, hi = combo->count();
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (QString::compare(combo->itemText(mid), text, Qt::CaseInsensitive) <= 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        at = lo;
    }
    // Inserting before the current item moves the selection, and the
    // platform's list does not report that as a user's selection change.
    combo->insertItem(at, text);
    return at;
}

int ComboFindStringExact(const QComboBox *combo, const QString &text)
{
    for (int i = 0; i < combo->count(); ++i)
        if (QString::compare(combo->itemText(i), text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString ComboItemText(const QComboBox *combo, int index)
{
    if (index < 0 || index >= combo->count())
        return {};
    return combo->itemText(index);
}

intptr_t ComboItemData(const QComboBox *combo, int index)
{
    if (index < 0 || index >= combo->count())
        return -1;
    return static_cast<intptr_t>(combo->itemData(index, kItemDataRole).toLongLong());
}

bool SetComboItemData(QComboBox *combo, int index, intptr_t data)
{
    if (index < 0 || index >= combo->count())
        return false;
    combo->setItemData(index, QVariant::fromValue(static_cast<qlonglong>(data)), kItemDataRole);
    return true;
}

void SetPickerDate(QDateEdit *picker, int year, int month, int day)
{
    if (!picker)
        return;
    QDate date;
    if (year == 0 && month == 0 && day == 0)
        date = picker->minimumDate(); // shows the picker's empty text
    else
        date = QDate(year, month, day);
    if (!date.isValid() || date < picker->minimumDate() || date > picker->maximumDate())
        return;
    const QSignalBlocker quiet(picker);
    picker->setDate(date);
}

void PickerDate(const QDateEdit *picker, int *year, int *month, int *day)
{
    int y = 0, m = 0, d = 0;
    if (picker) {
        const QDate date = picker->date();
        const bool empty = !picker->specialValueText().isEmpty() && date == picker->minimumDate();
        if (!empty && date.isValid()) {
            y = date.year();
            m = date.month();
            d = date.day();
        }
    }
    *year = y;
    *month = m;
    *day = d;
}

void SetIpAddress(QLineEdit *edit, uint32_t address)
{
    if (!edit)
        return;
    edit->setText(QStringLiteral("%1.%2.%3.%4")
                      .arg(address >> 24)
                      .arg((address >> 16) & 0xFF)
                      .arg((address >> 8) & 0xFF)
                      .arg(address & 0xFF));
}

uint32_t IpAddress(const QLineEdit *edit)
{
    if (!edit)
        return 0;
    const QStringList fields = edit->text().split(QLatin1Char('.'));
    uint32_t address = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t value = 0;
        if (i < fields.size()) {
            for (const QChar c : fields[i].trimmed()) {
                if (!c.isDigit())
                    break;
                value = std::min<uint32_t>(value * 10 + uint32_t(c.digitValue()), 255u);
            }
        }
        address = (address << 8) | value;
    }
    return address;
}
