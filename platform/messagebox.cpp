#include "messagebox.h"

#include "qttranslations.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

namespace {

MessageBoxHandler &Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

QMessageBox::StandardButton ToStandard(int result)
{
    switch (result) {
    case MSG_OK: return QMessageBox::Ok;
    case MSG_CANCEL: return QMessageBox::Cancel;
    case MSG_YES: return QMessageBox::Yes;
    case MSG_NO: return QMessageBox::No;
    default: return QMessageBox::NoButton;
    }
}

int FromStandard(int button)
{
    switch (button) {
    case QMessageBox::Ok: return MSG_OK;
    case QMessageBox::Yes: return MSG_YES;
    case QMessageBox::No: return MSG_NO;
    default: return MSG_CANCEL;
    }
}

int DefaultAnswer(MsgButtons buttons, int defaultButton)
{
    return defaultButton ? defaultButton : (buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MSG_OK : MSG_YES);
}

int RealMessageBox(const MessageBoxCall &call)
{
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (call.buttons) {
    case MsgButtons::Ok: buttons = QMessageBox::Ok; break;
    case MsgButtons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MsgButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case MsgButtons::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (call.icon) {
    case MsgIcon::None: break;
    case MsgIcon::Error: icon = QMessageBox::Critical; break;
    case MsgIcon::Warning: icon = QMessageBox::Warning; break;
    case MsgIcon::Question: icon = QMessageBox::Question; break;
    case MsgIcon::Information: icon = QMessageBox::Information; break;
    }
    ApplyQtLanguage(); // the standard buttons in the program's language
    QMessageBox box(icon, call.caption, call.text, buttons, call.owner);
    if (const auto def = ToStandard(call.defaultButton); def != QMessageBox::NoButton)
        box.setDefaultButton(def);
    return FromStandard(box.exec());
}

} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    MessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

QString MessageWith(const char *utf8, const QString &value)
{
    QString text = QString::fromUtf8(utf8);
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, value);
    return text;
}

int ShowMessageBox(QWidget *owner, const QString &text, const QString &caption, MsgIcon icon,
                   MsgButtons buttons, int defaultButton)
{
    const MessageBoxCall call{owner, text, caption, icon, buttons, defaultButton};
    if (Handler())
        return Handler()(call);
    // Without a widget application there is nobody to show a box to.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return DefaultAnswer(buttons, defaultButton);
    return RealMessageBox(call);
}

MessageBoxHandler RecordingHandler(const QString &path)
{
    return [path](const MessageBoxCall &call) {
        QFile record(path);
        if (record.open(QIODevice::WriteOnly | QIODevice::Append))
            record.write((call.caption + QLatin1Char('\t') + QString(call.text).replace(QLatin1Char('\n'), QLatin1Char(' '))
                          + QLatin1Char('\n'))
                             .toUtf8());
        return DefaultAnswer(call.buttons, call.defaultButton);
    };
}
