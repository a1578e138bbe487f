#include "socketerrors.h"

#include <cerrno>

namespace {

struct ErrnoMapping {
    int err;
    int wsa;
};

// EAGAIN and EWOULDBLOCK (and EOPNOTSUPP / ENOTSUP) may share a value, so
// this is a table searched in order rather than a switch.
constexpr ErrnoMapping kErrnoMap[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAEBADF},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EWOULDBLOCK, WSAEWOULDBLOCK},
    {EAGAIN, WSAEWOULDBLOCK},
    // A non-blocking connect under way is what Windows reports as would-block.
    {EINPROGRESS, WSAEWOULDBLOCK},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
#ifdef ESOCKTNOSUPPORT
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
#endif
    {EOPNOTSUPP, WSAEOPNOTSUPP},
#ifdef EPFNOSUPPORT
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
#endif
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    // Writing to a connection the peer has reset: Windows reports the reset.
    {EPIPE, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
#ifdef ESHUTDOWN
    {ESHUTDOWN, WSAESHUTDOWN},
#endif
#ifdef ETOOMANYREFS
    {ETOOMANYREFS, WSAETOOMANYREFS},
#endif
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
#ifdef EHOSTDOWN
    {EHOSTDOWN, WSAEHOSTDOWN},
#endif
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {ENOTEMPTY, WSAENOTEMPTY},
#ifdef EUSERS
    {EUSERS, WSAEUSERS},
#endif
#ifdef EDQUOT
    {EDQUOT, WSAEDQUOT},
#endif
#ifdef ESTALE
    {ESTALE, WSAESTALE},
#endif
#ifdef EREMOTE
    {EREMOTE, WSAEREMOTE},
#endif
};

struct ErrorText {
    int code;
    const char *text;
};

// The English texts of the system message table for these codes.
constexpr ErrorText kTexts[] = {
    {0, "The operation completed successfully.\r\n"},
    {WSAEINTR, "A blocking operation was interrupted by a call to WSACancelBlockingCall.\r\n"},
    {WSAEBADF, "The file handle supplied is not valid.\r\n"},
    {WSAEACCES, "An attempt was made to access a socket in a way forbidden by its access permissions.\r\n"},
    {WSAEFAULT, "The system detected an invalid pointer address in attempting to use a pointer argument in a call.\r\n"},
    {WSAEINVAL, "An invalid argument was supplied.\r\n"},
    {WSAEMFILE, "Too many open sockets.\r\n"},
    {WSAEWOULDBLOCK, "A non-blocking socket operation could not be completed immediately.\r\n"},
    {WSAEINPROGRESS, "A blocking operation is currently executing.\r\n"},
    {WSAEALREADY, "An operation was attempted on a non-blocking socket that already had an operation in progress.\r\n"},
    {WSAENOTSOCK, "An operation was attempted on something that is not a socket.\r\n"},
    {WSAEDESTADDRREQ, "A required address was omitted from an operation on a socket.\r\n"},
    {WSAEMSGSIZE, "A message sent on a datagram socket was larger than the internal message buffer or some other "
                  "network limit, or the buffer used to receive a datagram into was smaller than the datagram "
                  "itself.\r\n"},
    {WSAEPROTOTYPE, "A protocol was specified in the socket function call that does not support the semantics of "
                    "the socket type requested.\r\n"},
    {WSAENOPROTOOPT, "An unknown, invalid, or unsupported option or level was specified in a getsockopt or "
                     "setsockopt call.\r\n"},
    {WSAEPROTONOSUPPORT, "The requested protocol has not been configured into the system, or no implementation for "
                         "it exists.\r\n"},
    {WSAESOCKTNOSUPPORT, "The support for the specified socket type does not exist in this address family.\r\n"},
    {WSAEOPNOTSUPP, "The attempted operation is not supported for the type of object referenced.\r\n"},
    {WSAEPFNOSUPPORT, "The protocol family has not been configured into the system or no implementation for it "
                      "exists.\r\n"},
    {WSAEAFNOSUPPORT, "An address incompatible with the requested protocol was used.\r\n"},
    {WSAEADDRINUSE, "Only one usage of each socket address (protocol/network address/port) is normally "
                    "permitted.\r\n"},
    {WSAEADDRNOTAVAIL, "The requested address is not valid in its context.\r\n"},
    {WSAENETDOWN, "A socket operation encountered a dead network.\r\n"},
    {WSAENETUNREACH, "A socket operation was attempted to an unreachable network.\r\n"},
    {WSAENETRESET, "The connection has been broken due to keep-alive activity detecting a failure while the "
                   "operation was in progress.\r\n"},
    {WSAECONNABORTED, "An established connection was aborted by the software in your host machine.\r\n"},
    {WSAECONNRESET, "An existing connection was forcibly closed by the remote host.\r\n"},
    {WSAENOBUFS, "An operation on a socket could not be performed because the system lacked sufficient buffer "
                 "space or because a queue was full.\r\n"},
    {WSAEISCONN, "A connect request was made on an already connected socket.\r\n"},
    {WSAENOTCONN, "A request to send or receive data was disallowed because the socket is not connected and (when "
                  "sending on a datagram socket using a sendto call) no address was supplied.\r\n"},
    {WSAESHUTDOWN, "A request to send or receive data was disallowed because the socket had already been shut down "
                   "in that direction with a previous shutdown call.\r\n"},
    {WSAETOOMANYREFS, "Too many references to some kernel object.\r\n"},
    {WSAETIMEDOUT, "A connection attempt failed because the connected party did not properly respond after a "
                   "period of time, or established connection failed because connected host has failed to "
                   "respond.\r\n"},
    {WSAECONNREFUSED, "No connection could be made because the target machine actively refused it.\r\n"},
    {WSAELOOP, "Cannot translate name.\r\n"},
    {WSAENAMETOOLONG, "Name component or name was too long.\r\n"},
    {WSAEHOSTDOWN, "A socket operation failed because the destination host was down.\r\n"},
    {WSAEHOSTUNREACH, "A socket operation was attempted to an unreachable host.\r\n"},
    {WSAENOTEMPTY, "Cannot remove a directory that is not empty.\r\n"},
    {WSAEPROCLIM, "A Windows Sockets implementation may have a limit on the number of applications that may use "
                  "it simultaneously.\r\n"},
    {WSAEUSERS, "Ran out of quota.\r\n"},
    {WSAEDQUOT, "Ran out of disk quota.\r\n"},
    {WSAESTALE, "File handle reference is no longer available.\r\n"},
    {WSAEREMOTE, "Item is not available locally.\r\n"},
    {WSASYSNOTREADY, "WSAStartup cannot function at this time because the underlying system it uses to provide "
                     "network services is currently unavailable.\r\n"},
    {WSAVERNOTSUPPORTED, "The Windows Sockets version requested is not supported.\r\n"},
    {WSANOTINITIALISED, "Either the application has not called WSAStartup, or WSAStartup failed.\r\n"},
    {WSAEDISCON, "Returned by WSARecv or WSARecvFrom to indicate the remote party has initiated a graceful "
                 "shutdown sequence.\r\n"},
    {WSAHOST_NOT_FOUND, "No such host is known.\r\n"},
    {WSATRY_AGAIN, "This is usually a temporary error during hostname resolution and means that the local server "
                   "did not receive a response from an authoritative server.\r\n"},
    {WSANO_RECOVERY, "A non-recoverable error occurred during a database lookup.\r\n"},
    {WSANO_DATA, "The requested name is valid, but no data of the requested type was found.\r\n"},
};

} // namespace

int WsaErrorFromErrno(int err)
{
    if (err == 0)
        return 0;
    for (const ErrnoMapping &m : kErrnoMap) {
        if (m.err == err)
            return m.wsa;
    }
    return WSAEINVAL;
}

const char *SocketErrorText(int code)
{
    for (const ErrorText &t : kTexts) {
        if (t.code == code)
            return t.text;
    }
    return "";
}
