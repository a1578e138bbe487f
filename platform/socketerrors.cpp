#include "socketerrors.h"

#include <cerrno>
#include <iterator>

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


// The same texts in Czech, for LANG 0.
constexpr ErrorText kCzechTexts[] = {
    {0, "Operace byla úspěšně dokončena.\r\n"},
    {WSAEINTR, "Blokující operace byla přerušena voláním WSACancelBlockingCall.\r\n"},
    {WSAEBADF, "Zadaný popisovač souboru není platný.\r\n"},
    {WSAEACCES, "Byl proveden pokus o přístup k soketu způsobem, který zakazují jeho přístupová oprávnění.\r\n"},
    {WSAEFAULT, "Systém zjistil neplatnou adresu ukazatele při pokusu použít ukazatel jako argument volání.\r\n"},
    {WSAEINVAL, "Byl zadán neplatný argument.\r\n"},
    {WSAEMFILE, "Příliš mnoho otevřených soketů.\r\n"},
    {WSAEWOULDBLOCK, "Operaci s neblokujícím soketem nelze okamžitě dokončit.\r\n"},
    {WSAEINPROGRESS, "Právě probíhá blokující operace.\r\n"},
    {WSAEALREADY, "Byl proveden pokus o operaci s neblokujícím soketem, na kterém již jiná operace probíhá.\r\n"},
    {WSAENOTSOCK, "Byl proveden pokus o operaci s objektem, který není soket.\r\n"},
    {WSAEDESTADDRREQ, "V operaci se soketem chybí požadovaná adresa.\r\n"},
    {WSAEMSGSIZE, "Zpráva odeslaná datagramovým soketem byla větší než vnitřní vyrovnávací paměť zpráv nebo jiné "
                  "síťové omezení, nebo byla vyrovnávací paměť pro příjem datagramu menší než datagram.\r\n"},
    {WSAEPROTOTYPE, "Ve volání funkce socket byl zadán protokol, který nepodporuje sémantiku požadovaného typu "
                    "soketu.\r\n"},
    {WSAENOPROTOOPT, "Ve volání getsockopt nebo setsockopt byla zadána neznámá, neplatná nebo nepodporovaná volba "
                     "nebo úroveň.\r\n"},
    {WSAEPROTONOSUPPORT, "Požadovaný protokol není v systému nakonfigurován nebo pro něj neexistuje "
                         "implementace.\r\n"},
    {WSAESOCKTNOSUPPORT, "Podpora zadaného typu soketu v této rodině adres neexistuje.\r\n"},
    {WSAEOPNOTSUPP, "Požadovaná operace není pro typ odkazovaného objektu podporována.\r\n"},
    {WSAEPFNOSUPPORT, "Rodina protokolů není v systému nakonfigurována nebo pro ni neexistuje implementace.\r\n"},
    {WSAEAFNOSUPPORT, "Byla použita adresa neslučitelná s požadovaným protokolem.\r\n"},
    {WSAEADDRINUSE, "Každou adresu soketu (protokol, síťová adresa, port) lze obvykle použít jen jednou.\r\n"},
    {WSAEADDRNOTAVAIL, "Požadovaná adresa není v tomto kontextu platná.\r\n"},
    {WSAENETDOWN, "Operace se soketem narazila na nefunkční síť.\r\n"},
    {WSAENETUNREACH, "Byl proveden pokus o operaci se soketem v nedosažitelné síti.\r\n"},
    {WSAENETRESET, "Spojení bylo přerušeno, protože kontrola udržování spojení během operace zjistila "
                   "chybu.\r\n"},
    {WSAECONNABORTED, "Navázané spojení bylo přerušeno softwarem v hostitelském počítači.\r\n"},
    {WSAECONNRESET, "Vzdálený hostitel násilně ukončil existující připojení.\r\n"},
    {WSAENOBUFS, "Operaci se soketem nelze provést, protože systému chybí místo ve vyrovnávací paměti nebo je "
                 "fronta plná.\r\n"},
    {WSAEISCONN, "Požadavek na připojení byl zadán pro již připojený soket.\r\n"},
    {WSAENOTCONN, "Požadavek na odeslání nebo příjem dat byl odmítnut, protože soket není připojen a (při "
                  "odesílání datagramovým soketem voláním sendto) nebyla zadána adresa.\r\n"},
    {WSAESHUTDOWN, "Požadavek na odeslání nebo příjem dat byl odmítnut, protože soket byl v tomto směru již "
                   "dříve ukončen voláním shutdown.\r\n"},
    {WSAETOOMANYREFS, "Příliš mnoho odkazů na některý objekt jádra.\r\n"},
    {WSAETIMEDOUT, "Pokus o připojení selhal, protože připojená strana v časovém limitu správně neodpověděla, "
                   "nebo navázané připojení selhalo, protože připojený hostitel neodpověděl.\r\n"},
    {WSAECONNREFUSED, "Nelze navázat spojení, protože cílový počítač je aktivně odmítl.\r\n"},
    {WSAELOOP, "Název nelze přeložit.\r\n"},
    {WSAENAMETOOLONG, "Součást názvu nebo název je příliš dlouhý.\r\n"},
    {WSAEHOSTDOWN, "Operace se soketem selhala, protože cílový hostitel není v provozu.\r\n"},
    {WSAEHOSTUNREACH, "Byl proveden pokus o operaci se soketem u nedosažitelného hostitele.\r\n"},
    {WSAENOTEMPTY, "Adresář, který není prázdný, nelze odebrat.\r\n"},
    {WSAEPROCLIM, "Implementace Windows Sockets může omezovat počet aplikací, které ji mohou současně "
                  "používat.\r\n"},
    {WSAEUSERS, "Kvóta byla vyčerpána.\r\n"},
    {WSAEDQUOT, "Disková kvóta byla vyčerpána.\r\n"},
    {WSAESTALE, "Odkaz na popisovač souboru již není k dispozici.\r\n"},
    {WSAEREMOTE, "Položka není místně k dispozici.\r\n"},
    {WSASYSNOTREADY, "Funkce WSAStartup teď nemůže pracovat, protože základní systém, který používá k poskytování "
                     "síťových služeb, není momentálně k dispozici.\r\n"},
    {WSAVERNOTSUPPORTED, "Požadovaná verze Windows Sockets není podporována.\r\n"},
    {WSANOTINITIALISED, "Aplikace nevolala funkci WSAStartup, nebo volání WSAStartup selhalo.\r\n"},
    {WSAEDISCON, "Vráceno funkcí WSARecv nebo WSARecvFrom: vzdálená strana zahájila řádné ukončení "
                 "spojení.\r\n"},
    {WSAHOST_NOT_FOUND, "Takový hostitel není znám.\r\n"},
    {WSATRY_AGAIN, "Obvykle jde o dočasnou chybu při překladu názvu hostitele: místní server nedostal odpověď od "
                   "autoritativního serveru.\r\n"},
    {WSANO_RECOVERY, "Během vyhledávání v databázi došlo k neopravitelné chybě.\r\n"},
    {WSANO_DATA, "Požadovaný název je platný, ale nebyla nalezena žádná data požadovaného typu.\r\n"},
};

const char *FindText(const ErrorText *begin, const ErrorText *end, int code)
{
    for (const ErrorText *t = begin; t != end; ++t) {
        if (t->code == code)
            return t->text;
    }
    return "";
}

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
    return FindText(std::begin(kTexts), std::end(kTexts), code);
}

const char *SocketErrorText(int code, int language)
{
    if (language == 0)
        return FindText(std::begin(kCzechTexts), std::end(kCzechTexts), code);
    return SocketErrorText(code);
}
