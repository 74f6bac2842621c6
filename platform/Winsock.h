// Windows Sockets 1.1, as the program uses it, on our own platform.
//
// The engine reaches the network only through CWinsock, so tests can script
// it exactly. The real implementation (POSIX sockets) resolves names on a
// helper thread and hands each answer to the user-interface thread, where it
// is copied into the caller's buffer before the message is posted. Socket
// events are posted to the window as they happen, each as the message given
// to WSAAsyncSelect with wParam = the socket and lParam = the event in the low
// 16 bits and the error in the high 16 bits. Closing a socket drops its queued
// events, and socket handles are never reused within a run, so a late event
// can never be taken for one of a newer socket.
// A window given to a look-up or to WSAAsyncSelect must live until the
// socket is closed or WSACleanup has run.
#pragma once

#include "framework/AfxTypes.h"

#include <cstdint>
#include <vector>

// Constants that POSIX defines as macros carry a trailing underscore here, so
// both sets of headers can meet in the POSIX implementation.
using SOCKET = std::intptr_t;
using HANDLE = std::uintptr_t;

constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET_ = 2;
constexpr int SOCK_STREAM_ = 1;
constexpr int IPPROTO_TCP_ = 6;
constexpr int SOL_SOCKET_ = 0xFFFF;
constexpr int SO_REUSEADDR_ = 0x0004;
constexpr int SO_KEEPALIVE_ = 0x0008;
constexpr int SO_LINGER_ = 0x0080;

constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

constexpr int MAXGETHOSTSTRUCT = 1024;

constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_DATA = 11004;

constexpr WORD WSAGETASYNCERROR(LPARAM l) { return HIWORD(l); }
constexpr WORD WSAGETSELECTEVENT(LPARAM l) { return LOWORD(l); }
constexpr WORD WSAGETSELECTERROR(LPARAM l) { return HIWORD(l); }

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
};

// An IPv4 address in network byte order.
struct IN_ADDR {
    std::uint32_t S_addr;
};

struct SOCKADDR_IN {
    short sin_family;
    WORD sin_port;  // network byte order
    IN_ADDR sin_addr;
    char sin_zero[8];
};

// The host entry at the start of a look-up buffer; all its pointers point
// into the same buffer.
struct HOSTENT {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;  // null-terminated list of h_length-byte addresses
};

class CWinsock {
public:
    virtual ~CWinsock() = default;

    // A member, not a free function: POSIX declares its own (often a macro).
    static constexpr WORD htons(WORD v) { return static_cast<WORD>((v << 8) | (v >> 8)); }

    virtual int WSAStartup(WORD wVersionRequested, WSADATA* lpWSAData) = 0;  // 0 on success
    virtual int WSACleanup() = 0;
    virtual int gethostname(char* name, int namelen) = 0;

    // Looks name up off the user-interface thread. When the answer is there,
    // it is copied into buf (a HOSTENT and what it points to, at most buflen
    // bytes) on the user-interface thread, and wMsg is posted to hWnd with
    // wParam = the returned handle and lParam = MAKELPARAM(size, error).
    // Returns 0 if the look-up could not be issued.
    virtual HANDLE WSAAsyncGetHostByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen) = 0;

    // The IPv4 addresses of the machine's interfaces, in network byte order.
    virtual std::vector<IN_ADDR> GetInterfaceAddresses() = 0;

    virtual std::uint32_t inet_addr(const char* cp) = 0;  // INADDR_NONE (0xFFFFFFFF) if unparsable
    virtual CString inet_ntoa(IN_ADDR in) = 0;

    virtual SOCKET socket(int af, int type, int protocol) = 0;
    // On a socket selected with WSAAsyncSelect (non-blocking) it may return
    // at once with WSAEWOULDBLOCK; FD_CONNECT then reports the outcome, its
    // error in the high word, at most 20 seconds later (WSAETIMEDOUT). On a
    // socket not selected it blocks until connected, refused or 20 seconds
    // have passed.
    virtual int connect(SOCKET s, const SOCKADDR_IN* name, int namelen) = 0;
    // Without a value (optval null) it fails with WSAEFAULT and changes nothing.
    virtual int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) = 0;
    // Asks for lEvent (FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) as wMsg to hWnd; the
    // socket is non-blocking from then on. FD_CLOSE comes once the peer has
    // shut down and no unread data remains.
    virtual int WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, long lEvent) = 0;
    virtual int send(SOCKET s, const char* buf, int len, int flags) = 0;
    virtual int recv(SOCKET s, char* buf, int len, int flags) = 0;
    virtual int closesocket(SOCKET s) = 0;
    virtual int WSAGetLastError() = 0;
};

// The sockets the program uses: the POSIX implementation unless a test has
// installed its own.
CWinsock& Winsock();
void SetWinsock(CWinsock* pWinsock);  // null restores the real one
