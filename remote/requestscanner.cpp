#include "requestscanner.h"

#include <QList>

#include <algorithm>

namespace {

constexpr int HTTP_BAD_REQUEST = 400;
constexpr int HTTP_PAYLOAD_TOO_LARGE = 413;
constexpr int HTTP_HEADERS_TOO_LARGE = 431;
constexpr int MAX_LENGTH_DIGITS = 18;
constexpr int MAX_CHUNK_DIGITS = 15;

const QByteArray kEndOfHead = QByteArrayLiteral("\r\n\r\n");
const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kHttp10 = QByteArrayLiteral("HTTP/1.0");
const QByteArray kHttp11 = QByteArrayLiteral("HTTP/1.1");
const QByteArray kAbsolute = QByteArrayLiteral("http://");

// A character of an HTTP token (method, header name).
bool IsTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool IsToken(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A line feed without its carriage return, or a carriage return alone, from
// text[from] on: the two parsers could disagree on where a line ends.
bool HasBareLineEnd(QByteArrayView text, qsizetype from = 0)
{
    for (qsizetype i = std::max<qsizetype>(0, from); i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return true;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] != '\n')
            return true;
    }
    return false;
}

} // namespace

RequestScanner::RequestScanner(qint64 requestLimit) : m_requestLimit(requestLimit) {}

std::optional<RequestScanner::Refusal> RequestScanner::Fail(int status, const char *reason)
{
    m_state = State::Refused;
    m_head.clear();
    return Refusal{status, QByteArray(reason)};
}

void RequestScanner::Complete()
{
    m_state = m_closeAfter ? State::Closing : State::Head;
    m_head.clear();
    m_taken = 0;
    m_waiting.push_back(m_closeAfter);
}

void RequestScanner::Answered()
{
    if (!m_waiting.empty())
        m_waiting.pop_front();
}

bool RequestScanner::Idle() const
{
    return m_waiting.empty() && ((m_state == State::Head && m_head.isEmpty()) || m_state == State::Closing);
}

std::optional<RequestScanner::Refusal> RequestScanner::Feed(QByteArrayView bytes)
{
    qsizetype i = 0;
    while (i < bytes.size()) {
        const QByteArrayView rest = bytes.sliced(i);
        switch (m_state) {
        case State::Upgraded:
        case State::Closing:
        case State::Refused:
            return std::nullopt;
        case State::Head: {
            // Blank lines before a request line are allowed and skipped.
            if (m_head.isEmpty() && (rest[0] == '\r' || rest[0] == '\n')) {
                ++i;
                continue;
            }
            if (qsizetype(m_waiting.size()) >= MAX_WAITING)
                return Fail(HTTP_BAD_REQUEST, "too many requests wait for their answers");
            const qsizetype before = m_head.size();
            const qsizetype take = std::min(rest.size(), HEAD_LIMIT + kEndOfHead.size() - before);
            m_head += rest.first(take);
            const qsizetype end = m_head.indexOf(kEndOfHead, std::max<qsizetype>(0, before - 3));
            if (end < 0) {
                if (HasBareLineEnd(m_head, before - 1))
                    return Fail(HTTP_BAD_REQUEST, "every line of the head must end with CR LF");
                if (m_head.size() > HEAD_LIMIT)
                    return Fail(HTTP_HEADERS_TOO_LARGE, "the request head is over 16 KiB");
                i += take;
                continue;
            }
            m_head.truncate(end + kEndOfHead.size());
            i += m_head.size() - before;
            if (std::optional<Refusal> refusal = ParseHead())
                return refusal;
            continue;
        }
        case State::Body:
        case State::ChunkData: {
            const qint64 take = std::min<qint64>(m_remaining, rest.size());
            m_remaining -= take;
            i += take;
            if (m_remaining == 0) {
                if (m_state == State::Body)
                    Complete();
                else
                    m_state = State::ChunkEnd;
            }
            continue;
        }
        case State::ChunkEnd: {
            const qsizetype take = std::min(rest.size(), kCrLf.size() - m_head.size());
            m_head += rest.first(take);
            i += take;
            if (m_head.size() < kCrLf.size())
                continue;
            if (m_head != kCrLf)
                return Fail(HTTP_BAD_REQUEST, "a chunk must end with CR LF");
            m_head.clear();
            m_state = State::ChunkSize;
            continue;
        }
        case State::ChunkSize:
        case State::Trailers: {
            const qsizetype newline = rest.indexOf('\n');
            const qsizetype take = newline < 0 ? rest.size() : newline + 1;
            m_head += rest.first(take);
            i += take;
            m_taken += take;
            if (m_taken > m_requestLimit)
                return Fail(HTTP_PAYLOAD_TOO_LARGE, "the request is over its limit");
            if (newline < 0) {
                if (m_head.size() > CHUNK_LINE_LIMIT)
                    return Fail(HTTP_BAD_REQUEST, "a chunk-size or trailer line is too long");
                continue;
            }
            if (!m_head.endsWith(kCrLf) || HasBareLineEnd(m_head))
                return Fail(HTTP_BAD_REQUEST, "every line of a chunked body must end with CR LF");
            const QByteArray line = m_head.chopped(kCrLf.size());
            m_head.clear();
            if (m_state == State::Trailers) {
                if (line.isEmpty())
                    Complete();
                continue;
            }
            qsizetype digits = 0;
            while (digits < line.size() && IsHexDigit(line[digits]))
                ++digits;
            const QByteArrayView extension = QByteArrayView(line).sliced(digits).trimmed();
            if (digits == 0 || digits > MAX_CHUNK_DIGITS || (!extension.isEmpty() && extension[0] != ';'))
                return Fail(HTTP_BAD_REQUEST, "a chunk size must be a hexadecimal number");
            const qint64 size = line.left(digits).toLongLong(nullptr, 16);
            if (m_taken + size > m_requestLimit)
                return Fail(HTTP_PAYLOAD_TOO_LARGE, "the request is over its limit");
            m_taken += size;
            m_remaining = size;
            m_state = size == 0 ? State::Trailers : State::ChunkData;
            continue;
        }
        }
    }
    return std::nullopt;
}

std::optional<RequestScanner::Refusal> RequestScanner::ParseHead()
{
    const QByteArray head = m_head;
    m_head.clear();
    m_taken = head.size();
    if (HasBareLineEnd(head))
        return Fail(HTTP_BAD_REQUEST, "every line of the head must end with CR LF");
    // Every CR is followed by its LF here: without them, the lines split at LF.
    const QList<QByteArray> lines = head.chopped(kEndOfHead.size()).replace('\r', QByteArray()).split('\n');
    const QList<QByteArray> requestLine = lines[0].split(' ');
    if (requestLine.size() != 3 || !IsToken(requestLine[0]) || requestLine[1].isEmpty())
        return Fail(HTTP_BAD_REQUEST, "the request line must be METHOD TARGET VERSION");
    const QByteArray &method = requestLine[0];
    const QByteArray &target = requestLine[1];
    const QByteArray &version = requestLine[2];
    if (version != kHttp11 && version != kHttp10)
        return Fail(HTTP_BAD_REQUEST, "only HTTP/1.1 and HTTP/1.0 are spoken");

    struct Once {
        const char *name;
        int count = 0;
        QByteArray value;
    };
    // The headers that decide who asks and where the body ends: each at most once.
    Once host{"host", 0, {}}, origin{"origin", 0, {}}, authorization{"authorization", 0, {}},
        length{"content-length", 0, {}}, coding{"transfer-encoding", 0, {}}, upgrade{"upgrade", 0, {}};
    Once *const once[] = {&host, &origin, &authorization, &length, &coding, &upgrade};
    bool connectionClose = false;
    bool connectionUpgrade = false;
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QByteArray &line = lines[n];
        if (line.startsWith(' ') || line.startsWith('\t'))
            return Fail(HTTP_BAD_REQUEST, "folded header lines are not taken");
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !IsToken(QByteArrayView(line).first(colon)))
            return Fail(HTTP_BAD_REQUEST, "a header line must be NAME: VALUE");
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        for (Once *header : once) {
            if (name != header->name)
                continue;
            if (++header->count > 1) {
                m_state = State::Refused;
                return Refusal{HTTP_BAD_REQUEST, "the " + name + " header is given more than once"};
            }
            header->value = value;
        }
        if (name == "connection") {
            for (const QByteArray &option : value.split(',')) {
                const QByteArray word = option.trimmed().toLower();
                connectionClose = connectionClose || word == "close";
                connectionUpgrade = connectionUpgrade || word == "upgrade";
            }
        }
    }

    if (version == kHttp11 && host.count == 0)
        return Fail(HTTP_BAD_REQUEST, "the Host header is missing");
    if (!target.startsWith('/') && !(method == "OPTIONS" && target == "*")) {
        if (!target.toLower().startsWith(kAbsolute))
            return Fail(HTTP_BAD_REQUEST, "the target must be a path");
        QByteArray authority = target.mid(kAbsolute.size());
        for (const char end : {'/', '?', '#'})
            if (const qsizetype at = authority.indexOf(end); at >= 0)
                authority.truncate(at);
        if (authority.compare(host.value, Qt::CaseInsensitive) != 0)
            return Fail(HTTP_BAD_REQUEST, "the target names another host than the Host header");
    }

    if (connectionUpgrade && upgrade.count > 0) {
        if (upgrade.value.compare("websocket", Qt::CaseInsensitive) != 0)
            return Fail(HTTP_BAD_REQUEST, "only WebSocket upgrades are taken");
        m_state = State::Upgraded;
        return std::nullopt;
    }
    m_closeAfter = connectionClose || version == kHttp10;

    if (coding.count > 0) {
        if (length.count > 0)
            return Fail(HTTP_BAD_REQUEST, "Content-Length and Transfer-Encoding together are not taken");
        if (coding.value.compare("chunked", Qt::CaseInsensitive) != 0 || version == kHttp10)
            return Fail(HTTP_BAD_REQUEST, "only the chunked transfer coding of HTTP/1.1 is taken");
        m_state = State::ChunkSize;
        return std::nullopt;
    }
    qint64 bodyLength = 0;
    if (length.count > 0) {
        const bool digits = !length.value.isEmpty() && length.value.size() <= MAX_LENGTH_DIGITS
                            && std::all_of(length.value.begin(), length.value.end(),
                                           [](char c) { return c >= '0' && c <= '9'; });
        if (!digits)
            return Fail(HTTP_BAD_REQUEST, "Content-Length must be a number");
        bodyLength = length.value.toLongLong();
        if (m_taken + bodyLength > m_requestLimit)
            return Fail(HTTP_PAYLOAD_TOO_LARGE, "the request is over its limit");
    }
    m_taken += bodyLength;
    m_remaining = bodyLength;
    if (bodyLength == 0)
        Complete();
    else
        m_state = State::Body;
    return std::nullopt;
}
