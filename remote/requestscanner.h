#pragma once

// The bytes of one connection's HTTP/1.x requests, read as they arrive and
// ahead of Qt's parser, which takes some requests leniently that this API
// must refuse: a header that decides who is asking given twice, a target
// naming another host, a body whose length is in doubt. It frames each
// request (head, then Content-Length bytes or chunks) so it knows where the
// next one starts, and whether the client wants the connection closed after
// each answer (requests may come before the answers to the last ones, which
// the server answers in turn). Nothing after a request that asks for the
// close is taken; once a head asks for a WebSocket the rest is no HTTP, and
// the scanner looks no further.

#include <QByteArray>
#include <QByteArrayView>

#include <deque>
#include <optional>

class RequestScanner {
public:
    static constexpr qsizetype HEAD_LIMIT = 16 * 1024;
    static constexpr qsizetype CHUNK_LINE_LIMIT = 1024;
    // Whole requests waiting for their answers at once.
    static constexpr qsizetype MAX_WAITING = 32;

    struct Refusal {
        int status = 400;
        QByteArray reason; // one line of English for the answer's body
    };

    // requestLimit: the most bytes one request (head and body) may take.
    explicit RequestScanner(qint64 requestLimit);

    // The next bytes received; a refusal once they break a rule (the
    // connection gets it as its answer and is closed; nothing more is read).
    std::optional<Refusal> Feed(QByteArrayView bytes);
    // The answer to the oldest request waiting for one is going out.
    void Answered();

    // No part of a request is waiting for its answer.
    bool Idle() const;
    // The request now answered (the oldest waiting) asked for the connection
    // to end after its answer.
    bool CloseAfterAnswer() const { return !m_waiting.empty() && m_waiting.front(); }
    // The last whole head asked for a WebSocket.
    bool Upgrading() const { return m_state == State::Upgraded; }

private:
    enum class State { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, Upgraded, Closing, Refused };

    std::optional<Refusal> ParseHead();
    std::optional<Refusal> Fail(int status, const char *reason);
    void Complete();

    qint64 m_requestLimit;
    State m_state = State::Head;
    QByteArray m_head;      // the head so far, or the chunk-size or trailer line so far
    qint64 m_remaining = 0; // Body, ChunkData: bytes still to come
    qint64 m_taken = 0;     // bytes of this request so far
    bool m_closeAfter = false;   // of the request being read
    std::deque<bool> m_waiting; // whole requests without their answers: close after each
};
