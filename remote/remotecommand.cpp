#include "remotecommand.h"

QString RemoteCommandText(const RemoteCommand &command)
{
    switch (command.action) {
    case RemoteAction::Launch: return QStringLiteral("launch %1").arg(command.button);
    case RemoteAction::Play: return QStringLiteral("play");
    case RemoteAction::Pause: return QStringLiteral("pause");
    case RemoteAction::Stop: return QStringLiteral("stop");
    case RemoteAction::Brightness: return QStringLiteral("brightness %1").arg(command.brightness);
    }
    return QString();
}
