// Any bytes as what reaches the remote control from outside: the first byte
// picks an OSC datagram, an HTTP request or a WebSocket handshake; for the
// requests, the rest is split at '\n' into method, path, Host, Origin,
// Authorization (or the query token) and body. No window is attached, so a
// command that passes every check is refused by the panel bridge, as between
// two windows.
#include "oscreceiver.h"
#include "panelremote.h"
#include "remoteapi.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <cstdlib>

namespace {

const QByteArray kToken = QByteArrayLiteral("0123456789abcdef0123456789abcdef");
constexpr quint16 kPort = 8080;

bool Known(int status)
{
    switch (status) {
    case 101: case 200: case 400: case 401: case 403: case 404: case 405: case 409: case 413: case 426:
        return true;
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const int mode = data[0] % 3;
    if (mode == 0) {
        QString reason;
        const std::optional<RemoteCommand> command = OscReceiver::Decode(input, &reason);
        if (command && (command->action == RemoteAction::Launch) && (command->button < 1 || command->button > 40))
            std::abort();
        if (command && command->action == RemoteAction::Brightness
            && (command->brightness < 0 || command->brightness > 100 || (command->stations && *command->stations > 15)))
            std::abort();
        return 0;
    }
    static PanelRemote panel;
    static RemoteApi api(panel, RequestGate(kToken, kPort));
    const QList<QByteArray> parts = input.split('\n');
    auto part = [&parts](int i) { return i < parts.size() ? parts[i] : QByteArray(); };
    ApiRequest request;
    request.method = part(0);
    request.path = QString::fromUtf8(part(1));
    request.host = part(2);
    request.origin = part(3);
    request.hasOrigin = !request.origin.isEmpty();
    request.authorization = part(4);
    request.queryToken = part(4);
    request.body = part(5);
    const ApiReply reply = mode == 1 ? api.Answer(request) : api.AnswerUpgrade(request);
    if (!Known(reply.status))
        std::abort();
    // Only a request with the token may get through to a route.
    const bool tokenGiven = RequestGate::ConstantTimeEqual(RequestGate::BearerToken(request.authorization), kToken)
                            || (mode == 2 && RequestGate::ConstantTimeEqual(request.queryToken, kToken));
    if (request.path.startsWith(QLatin1String("/api/")) && (reply.status == 200 || reply.status == 101) && !tokenGiven)
        std::abort();
    return 0;
}
