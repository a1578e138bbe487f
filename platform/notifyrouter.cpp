#include "notifyrouter.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QSlider>
#include <QTextEdit>

namespace {

int ScrollCode(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return TB_LINEUP;
    case QAbstractSlider::SliderSingleStepAdd: return TB_LINEDOWN;
    case QAbstractSlider::SliderPageStepSub: return TB_PAGEUP;
    case QAbstractSlider::SliderPageStepAdd: return TB_PAGEDOWN;
    case QAbstractSlider::SliderToMinimum: return TB_TOP;
    case QAbstractSlider::SliderToMaximum: return TB_BOTTOM;
    case QAbstractSlider::SliderMove: return TB_THUMBTRACK;
    default: return -1;
    }
}

bool EndsEditing(const QEvent *event)
{
    if (event->type() == QEvent::FocusOut)
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

NotifyRouter::NotifyRouter(QWidget *control, int id, Sink sink)
    : QObject(control), m_control(control), m_id(id), m_sink(std::move(sink))
{
    if (auto *e = qobject_cast<QLineEdit *>(control)) {
        connect(e, &QLineEdit::textChanged, this, [this] { Send(WM_COMMAND, EN_CHANGE); });
        e->installEventFilter(this);
    } else if (auto *e = qobject_cast<QPlainTextEdit *>(control)) {
        connect(e, &QPlainTextEdit::textChanged, this, [this] { Send(WM_COMMAND, EN_CHANGE); });
        e->installEventFilter(this);
    } else if (auto *e = qobject_cast<QTextEdit *>(control)) {
        connect(e, &QTextEdit::textChanged, this, [this] { Send(WM_COMMAND, EN_CHANGE); });
        e->installEventFilter(this);
    } else if (auto *c = qobject_cast<QComboBox *>(control)) {
        connect(c, &QComboBox::activated, this, [this] {
            if (!m_editEnding)
                Send(WM_COMMAND, CBN_SELCHANGE);
        });
        if (QLineEdit *edit = c->lineEdit()) {
            connect(edit, &QLineEdit::textEdited, this, [this] { Send(WM_COMMAND, CBN_EDITCHANGE); });
            c->installEventFilter(this);
            edit->installEventFilter(this);
        }
    } else if (auto *d = qobject_cast<QDateEdit *>(control)) {
        // Programmatic dates go through SetPickerDate, which blocks this signal.
        connect(d, &QDateEdit::dateChanged, this, [this] { Send(WM_NOTIFY, DTN_DATETIMECHANGE); });
    } else if (auto *b = qobject_cast<QAbstractButton *>(control)) {
        connect(b, &QAbstractButton::clicked, this, [this] { Send(WM_COMMAND, BN_CLICKED); });
    } else if (auto *s = qobject_cast<QSlider *>(control)) {
        connect(s, &QAbstractSlider::actionTriggered, this, [this, s](int action) {
            const int code = ScrollCode(action);
            // At this point the slider position has moved, its value not yet.
            if (code >= 0)
                Send(s->orientation() == Qt::Horizontal ? WM_HSCROLL : WM_VSCROLL, code, s->sliderPosition());
        });
        connect(s, &QAbstractSlider::sliderReleased, this, [this, s] {
            const int message = s->orientation() == Qt::Horizontal ? WM_HSCROLL : WM_VSCROLL;
            Send(message, TB_THUMBPOSITION, s->value());
            Send(message, TB_ENDTRACK, s->value());
        });
    }
}

bool NotifyRouter::eventFilter(QObject *watched, QEvent *event)
{
    if (qobject_cast<QComboBox *>(m_control)) {
        if (!EndsEditing(event))
            return false;
        // When typing ends (Enter, focus lost) on a text equal to an item,
        // Qt's combo selects that item and reports it as activated; the
        // platform's combo sends no selection change for typing. The event is
        // handled here with that report muted; an ignored key still goes on
        // to the dialog.
        const QScopedValueRollback ending(m_editEnding, true);
        watched->event(event);
        return true;
    }
    if (watched == m_control && event->type() == QEvent::FocusOut) {
        // A context menu takes no focus from the edit on the platform.
        if (static_cast<QFocusEvent *>(event)->reason() == Qt::PopupFocusReason)
            return false;
        // The edit handles losing the focus first and reports it then, so
        // the dialog may give the focus back and select the text.
        watched->event(event);
        Send(WM_COMMAND, EN_KILLFOCUS);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void NotifyRouter::Send(int message, int code, int position)
{
    if (m_muted || !m_sink)
        return;
    m_sink(ControlEvent{message, code, m_id, m_control, position});
}
