#pragma once

// What the editor tests share: a modal run driven from inside, program trees
// on disk, and the message box seam with a recorded list of calls.

#include "messagebox.h"
#include "mycdialog.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTest>
#include <QTimer>

#include <functional>

// Runs the dialog modally; act runs inside the modal run once the dialog is
// active. A dialog that act left open ends with -100, so a failed step shows
// up as a wrong result instead of a test that never ends.
inline int RunModal(MyCDialog &dialog, const std::function<void()> &act)
{
    QTimer::singleShot(0, &dialog, [&dialog, act] {
        if (QTest::qWaitForWindowActive(&dialog))
            act();
        if (dialog.isVisible())
            dialog.done(-100);
    });
    return dialog.DoModal();
}

// Runs act on the next modal dialog of type T that opens (a dialog that opens
// a dialog of its own); it ends with -100 if act leaves it open.
template <typename T>
void OnNextModal(const std::function<void(T &)> &act)
{
    QTimer::singleShot(0, [act] {
        T *dialog = nullptr;
        QTRY_VERIFY((dialog = qobject_cast<T *>(QApplication::activeModalWidget())) != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        act(*dialog);
        if (dialog->isVisible())
            dialog->done(-100);
    });
}

// A program directory below root: "program.prg" with the given last-write
// time (UTC) and, unless the description is null, "program.txt". False when
// any of it could not be made; the caller checks.
[[nodiscard]] inline bool MakeProgram(const QString &root, const QString &relative,
                                      const QByteArray &description = "description\n",
                                      const QDateTime &written = QDateTime())
{
    const QString dir = root + QLatin1Char('/') + relative;
    if (!QDir().mkpath(dir))
        return false;
    QFile prg(dir + QStringLiteral("/program.prg"));
    if (!prg.open(QIODevice::WriteOnly) || prg.write("prg") != 3 || !prg.flush())
        return false;
    if (written.isValid() && !prg.setFileTime(written, QFileDevice::FileModificationTime))
        return false;
    prg.close();
    if (description.isNull())
        return true;
    QFile txt(dir + QStringLiteral("/program.txt"));
    return txt.open(QIODevice::WriteOnly) && txt.write(description) == description.size();
}

// Installs a message box handler that records each call and answers from a
// list (the last answer repeats); restores the previous handler when it goes.
class MessageRecorder {
public:
    explicit MessageRecorder(QList<int> answers = {MSG_OK}) : m_answers(std::move(answers))
    {
        m_previous = SetMessageBoxHandler([this](const MessageBoxCall &call) {
            calls << call;
            const int answer = m_answers.isEmpty() ? MSG_OK : m_answers.first();
            if (m_answers.size() > 1)
                m_answers.removeFirst();
            return answer;
        });
    }
    ~MessageRecorder() { SetMessageBoxHandler(std::move(m_previous)); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    QList<MessageBoxCall> calls;

private:
    QList<int> m_answers;
    MessageBoxHandler m_previous;
};

// The whole file; false when it could not be written.
[[nodiscard]] inline bool WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}
