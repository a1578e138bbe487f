#pragma once

// The one entry point for message boxes. Tests install a handler that records
// the call and answers in place of a person.

#include <QString>

#include <functional>

class QWidget;

enum class MsgIcon { None, Error, Warning, Question, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };

// Results, with the values the dialog platform gives them.
constexpr int MSG_OK = 1;
constexpr int MSG_CANCEL = 2;
constexpr int MSG_YES = 6;
constexpr int MSG_NO = 7;

struct MessageBoxCall {
    QWidget *owner = nullptr;
    QString text;
    QString caption;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    int defaultButton = 0; // one of the results above; 0 = the first button
};

using MessageBoxHandler = std::function<int(const MessageBoxCall &)>;

// Replaces the handler (an empty one restores the real message box) and
// returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// A handler that answers every box with its default button and appends its
// caption and text (a tab between, line breaks as spaces) as one line to the
// file at path: how tests of the whole program answer its boxes.
MessageBoxHandler RecordingHandler(const QString &path);

// A message text given in UTF-8 with value in place of its first "%s".
QString MessageWith(const char *utf8, const QString &value);

int ShowMessageBox(QWidget *owner, const QString &text, const QString &caption, MsgIcon icon,
                   MsgButtons buttons = MsgButtons::Ok, int defaultButton = 0);
