// Any bytes as the settings dialog's help file: read into a document as the
// help pane does.
#include "rtfreader.h"

#include <QByteArrayView>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // A document lays out text with fonts, which need a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTextDocument document;
    LoadRtf(QByteArrayView(data, qsizetype(size)), &document);
    return 0;
}
