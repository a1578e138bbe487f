#pragma once

// A raw HTTP/1.1 exchange over loopback, driven from the test's own event
// loop (the server under test runs on the same thread): the exact bytes go
// out, so requests no ordinary client would make can be sent too.

#include <QByteArray>
#include <QHostAddress>
#include <QList>

struct HttpAnswer {
    int status = 0; // 0: no whole answer came
    QByteArray headers;
    QByteArray body;
    bool closedByServer = false;

    QByteArray Header(const QByteArray &name) const;
};

// Sends raw to 127.0.0.1:port (from the address from, if given) and reads
// one answer (or until the server closes, or timeoutMs passes).
HttpAnswer Exchange(quint16 port, const QByteArray &raw, int timeoutMs = 5000, const QHostAddress &from = {});
// A request with Host 127.0.0.1:port and, where given, the bearer token and a body.
QByteArray Request(const QByteArray &method, const QByteArray &path, quint16 port, const QByteArray &token = {},
                   const QByteArray &body = {}, const QList<QByteArray> &extraHeaders = {});
