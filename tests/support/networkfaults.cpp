#include "networkfaults.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString Errno(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

QString EnterPrivateNetwork()
{
    if (::unshare(CLONE_NEWNET) != 0)
        return Errno("unshare(CLONE_NEWNET)");
    return SetLoopbackUp(true);
}

QString SetLoopbackUp(bool up)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Errno("socket");
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    QString error;
    if (::ioctl(fd, SIOCGIFFLAGS, &request) != 0) {
        error = Errno("SIOCGIFFLAGS lo");
    } else {
        request.ifr_flags = short(up ? (request.ifr_flags | IFF_UP) : (request.ifr_flags & ~IFF_UP));
        if (::ioctl(fd, SIOCSIFFLAGS, &request) != 0)
            error = Errno("SIOCSIFFLAGS lo");
    }
    ::close(fd);
    return error;
}
