#include "remoteapi.h"

#include "configmodel.h"
#include "panelremote.h"
#include "panelstatejson.h"
#include "remotepairing.h"
#include "webassets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

#include <cmath>

namespace {

constexpr int HTTP_OK = 200;
constexpr int HTTP_BAD_REQUEST = 400;
constexpr int HTTP_UNAUTHORIZED = 401;
constexpr int HTTP_FORBIDDEN = 403;
constexpr int HTTP_NOT_FOUND = 404;
constexpr int HTTP_METHOD_NOT_ALLOWED = 405;
constexpr int HTTP_CONFLICT = 409;
constexpr int HTTP_PAYLOAD_TOO_LARGE = 413;
constexpr int HTTP_UPGRADE_REQUIRED = 426;
constexpr int HTTP_INTERNAL_ERROR = 500;

const QByteArray kJson = QByteArrayLiteral("application/json");
const QByteArray kText = QByteArrayLiteral("text/plain; charset=utf-8");
const QByteArray kGet = QByteArrayLiteral("GET");
const QByteArray kPost = QByteArrayLiteral("POST");
const QString kApi = QStringLiteral("/api/");

ApiReply Json(int status, const QJsonObject &object)
{
    return {status, kJson, QJsonDocument(object).toJson(QJsonDocument::Compact), {}};
}

ApiReply Failure(int status, const QString &reason)
{
    return Json(status, {{QStringLiteral("ok"), false}, {QStringLiteral("reason"), reason}});
}

ApiReply WrongMethod(const QByteArray &allowed)
{
    ApiReply reply = Failure(HTTP_METHOD_NOT_ALLOWED, QStringLiteral("use %1").arg(QString::fromLatin1(allowed)));
    reply.allow = allowed;
    return reply;
}

// A whole number within [low, high], or nothing.
std::optional<int> WholeNumber(const QJsonValue &value, int low, int high)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (std::floor(number) != number || number < low || number > high)
        return std::nullopt;
    return int(number);
}

} // namespace

RemoteApi::RemoteApi(PanelRemote &panel, const RequestGate &gate, RemotePairing *pairing)
    : m_panel(panel), m_gate(gate), m_pairing(pairing)
{
}

ApiReply RemoteApi::Answer(const ApiRequest &request)
{
    const bool api = request.path.startsWith(kApi);
    if (!m_gate.Admits(request.host, request.origin, request.hasOrigin))
        return api ? Failure(HTTP_FORBIDDEN, QStringLiteral("forbidden"))
                   : ApiReply{HTTP_FORBIDDEN, kText, QByteArrayLiteral("Forbidden\n"), {}};
    if (request.body.size() > BODY_LIMIT)
        return Failure(HTTP_PAYLOAD_TOO_LARGE, QStringLiteral("the body is over 64 KiB"));
    if (!api) {
        const std::optional<WebAsset> asset = FindWebAsset(request.path);
        if (!asset)
            return {HTTP_NOT_FOUND, kText, QByteArrayLiteral("Not found\n"), {}};
        if (request.method != kGet)
            return {HTTP_METHOD_NOT_ALLOWED, kText, QByteArrayLiteral("Method not allowed\n"), kGet};
        return {HTTP_OK, asset->contentType, asset->body, {}};
    }
    // The one request without a token: it is how a tablet gets one.
    if (m_pairing && request.path == QLatin1String("/api/pair"))
        return Pair(request);
    if (!m_gate.TokenValid(RequestGate::BearerToken(request.authorization)))
        return Failure(HTTP_UNAUTHORIZED, QStringLiteral("a valid token is needed"));
    return Route(request);
}

ApiReply RemoteApi::AnswerUpgrade(const ApiRequest &request)
{
    if (!m_gate.Admits(request.host, request.origin, request.hasOrigin))
        return Failure(HTTP_FORBIDDEN, QStringLiteral("forbidden"));
    if (request.path != QLatin1String("/api/events") || request.method != kGet)
        return Failure(HTTP_NOT_FOUND, QStringLiteral("only /api/events is a WebSocket"));
    if (!m_gate.TokenValid(request.queryToken))
        return Failure(HTTP_UNAUTHORIZED, QStringLiteral("a valid token is needed"));
    return {SWITCHING_PROTOCOLS, {}, {}, {}};
}

ApiReply RemoteApi::Route(const ApiRequest &request)
{
    if (request.path == QLatin1String("/api/state")) {
        if (request.method != kGet)
            return WrongMethod(kGet);
        return Json(HTTP_OK, m_panel.State());
    }
    if (request.path == QLatin1String("/api/events"))
        return Failure(HTTP_UPGRADE_REQUIRED, QStringLiteral("open it as a WebSocket with ?token="));
    static const QRegularExpression command(
        QStringLiteral("^/api/(launch/[0-9]{1,9}|play|pause|stop|brightness)$"));
    if (!command.match(request.path).hasMatch())
        return Failure(HTTP_NOT_FOUND, QStringLiteral("no such path"));
    if (request.method != kPost)
        return WrongMethod(kPost);
    return Command(request);
}

ApiReply RemoteApi::Command(const ApiRequest &request)
{
    const QString name = request.path.mid(kApi.size());
    RemoteCommand command;
    if (name.startsWith(QLatin1String("launch/"))) {
        command.action = RemoteAction::Launch;
        command.button = name.mid(7).toInt();
        if (command.button < 1 || command.button > BUTTON_COUNT)
            return Failure(HTTP_BAD_REQUEST, QStringLiteral("buttons are numbered 1 to %1").arg(BUTTON_COUNT));
    } else if (name == QLatin1String("brightness")) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return Failure(HTTP_BAD_REQUEST, QStringLiteral("the body must be a JSON object"));
        const QJsonObject object = document.object();
        const std::optional<int> value = WholeNumber(object.value(QStringLiteral("value")), 0,
                                                     RemoteCommand::BRIGHTNESS_MAX);
        if (!value)
            return Failure(HTTP_BAD_REQUEST, QStringLiteral("\"value\" must be a whole number from 0 to 100"));
        command.action = RemoteAction::Brightness;
        command.brightness = *value;
        if (object.contains(QStringLiteral("stations"))) {
            const QJsonValue list = object.value(QStringLiteral("stations"));
            if (!list.isArray())
                return Failure(HTTP_BAD_REQUEST, QStringLiteral("\"stations\" must be a list of 1 to 4"));
            uint32_t stations = 0;
            for (const QJsonValue &station : list.toArray()) {
                const std::optional<int> number = WholeNumber(station, 1, STATION_COUNT);
                if (!number)
                    return Failure(HTTP_BAD_REQUEST, QStringLiteral("\"stations\" must be a list of 1 to 4"));
                stations |= 1u << (*number - 1);
            }
            command.stations = stations;
        }
    } else {
        command.action = name == QLatin1String("play")    ? RemoteAction::Play
                         : name == QLatin1String("pause") ? RemoteAction::Pause
                                                          : RemoteAction::Stop;
    }
    const RemoteOutcome outcome = m_panel.Run(command, {CommandSource::Kind::Http, request.peer});
    if (outcome.status != RemoteOutcome::Status::Done)
        return Failure(HTTP_CONFLICT, outcome.reason);
    return Json(HTTP_OK, {{QStringLiteral("ok"), true}, {QStringLiteral("delivery"), DeliveryJson(outcome.delivery)}});
}

ApiReply RemoteApi::Pair(const ApiRequest &request)
{
    if (request.method != kPost)
        return WrongMethod(kPost);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    const QJsonValue code = document.isObject() ? document.object().value(QStringLiteral("code")) : QJsonValue();
    if (error.error != QJsonParseError::NoError || !code.isString())
        return Failure(HTTP_BAD_REQUEST, QStringLiteral("the body must be {\"code\": \"CODE\"}"));
    const RemotePairing::Result result = m_pairing->Pair(code.toString().toLatin1());
    switch (result.status) {
    case RemotePairing::Result::Status::Paired:
        return Json(HTTP_OK, {{QStringLiteral("token"), QString::fromLatin1(result.token)}});
    case RemotePairing::Result::Status::Failed:
        return Failure(HTTP_INTERNAL_ERROR, result.reason);
    case RemotePairing::Result::Status::Refused:
        break;
    }
    return Failure(HTTP_UNAUTHORIZED, result.reason);
}
