// ws2_32 behind platform/win32/shim/Win32Net.h.
#include "platform/win32/shim/Win32Net.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

namespace w32net {

static SOCKET S(std::uintptr_t s) { return static_cast<SOCKET>(s); }

int Startup(std::uint16_t wVersion, std::uint16_t& wGranted, std::uint16_t& wHigh, std::string& strDescription,
            std::string& strStatus)
{
    WSADATA data{};
    const int nResult = ::WSAStartup(wVersion, &data);
    if (nResult != 0)
        return nResult;
    wGranted = data.wVersion;
    wHigh = data.wHighVersion;
    strDescription = data.szDescription;
    strStatus = data.szSystemStatus;
    return 0;
}

int Cleanup() { return ::WSACleanup() == 0 ? 0 : ::WSAGetLastError(); }

int LastError() { return ::WSAGetLastError(); }

int GetHostName(char* pszName, int nLength) { return ::gethostname(pszName, nLength) == 0 ? 0 : ::WSAGetLastError(); }

std::uint32_t InetAddr(const char* psz) { return ::inet_addr(psz); }

std::string InetNtoa(std::uint32_t nAddr)
{
    in_addr in{};
    in.s_addr = nAddr;
    const char* psz = ::inet_ntoa(in);
    return psz ? psz : "";
}

std::vector<std::uint32_t> InterfaceAddresses()
{
    std::vector<std::uint32_t> addrs;
    char szName[256] = {};
    if (::gethostname(szName, sizeof(szName)) != 0)
        return addrs;
    const hostent* pEntry = ::gethostbyname(szName);
    if (pEntry == nullptr || pEntry->h_addrtype != AF_INET || pEntry->h_length != 4)
        return addrs;
    for (char** pp = pEntry->h_addr_list; *pp != nullptr; ++pp) {
        std::uint32_t nAddr;
        std::memcpy(&nAddr, *pp, sizeof(nAddr));
        addrs.push_back(nAddr);
    }
    return addrs;
}

int Socket(std::uintptr_t& s)
{
    const SOCKET sock = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (sock == INVALID_SOCKET)
        return ::WSAGetLastError();
    s = static_cast<std::uintptr_t>(sock);
    return 0;
}

static sockaddr_in AddressOf(std::uint32_t nAddr, std::uint16_t nPort)
{
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = nPort;
    sin.sin_addr.s_addr = nAddr;
    return sin;
}

int Connect(std::uintptr_t s, std::uint32_t nAddr, std::uint16_t nPort)
{
    const sockaddr_in sin = AddressOf(nAddr, nPort);
    return ::connect(S(s), reinterpret_cast<const sockaddr*>(&sin), sizeof(sin)) == 0 ? 0 : ::WSAGetLastError();
}

int ConnectBounded(std::uintptr_t s, std::uint32_t nAddr, std::uint16_t nPort, int nTimeoutMs)
{
    u_long nOn = 1, nOff = 0;
    if (::ioctlsocket(S(s), FIONBIO, &nOn) != 0)
        return ::WSAGetLastError();
    int nError = Connect(s, nAddr, nPort);
    if (nError == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(S(s), &writable);
        FD_SET(S(s), &failed);
        timeval tv{nTimeoutMs / 1000, (nTimeoutMs % 1000) * 1000};
        const int n = ::select(0, nullptr, &writable, &failed, &tv);
        if (n == 0) {
            nError = WSAETIMEDOUT;
        } else if (n < 0) {
            nError = ::WSAGetLastError();
        } else if (FD_ISSET(S(s), &failed)) {
            int nSoError = 0, nLen = sizeof(nSoError);
            ::getsockopt(S(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nSoError), &nLen);
            nError = nSoError != 0 ? nSoError : WSAECONNREFUSED;
        } else {
            nError = 0;
        }
    }
    ::ioctlsocket(S(s), FIONBIO, &nOff);
    return nError;
}

int SetOption(std::uintptr_t s, int nLevel, int nName, const char* pValue, int nLength)
{
    return ::setsockopt(S(s), nLevel, nName, pValue, nLength) == 0 ? 0 : ::WSAGetLastError();
}

int AsyncSelect(std::uintptr_t s, void* hWnd, unsigned nMsg, long lEvents)
{
    return ::WSAAsyncSelect(S(s), static_cast<HWND>(hWnd), nMsg, lEvents) == 0 ? 0 : ::WSAGetLastError();
}

int Send(std::uintptr_t s, const char* pBuf, int nLength, int nFlags, int& nSent)
{
    nSent = ::send(S(s), pBuf, nLength, nFlags);
    return nSent == SOCKET_ERROR ? ::WSAGetLastError() : 0;
}

int Recv(std::uintptr_t s, char* pBuf, int nLength, int nFlags, int& nReceived)
{
    nReceived = ::recv(S(s), pBuf, nLength, nFlags);
    return nReceived == SOCKET_ERROR ? ::WSAGetLastError() : 0;
}

int Close(std::uintptr_t s) { return ::closesocket(S(s)) == 0 ? 0 : ::WSAGetLastError(); }

std::uintptr_t AsyncGetHostByName(void* hWnd, unsigned nMsg, const char* pszName, char* pBuf, int nLength,
                                  int& nError)
{
    HANDLE hTask = ::WSAAsyncGetHostByName(static_cast<HWND>(hWnd), nMsg, pszName, pBuf, nLength);
    nError = hTask == nullptr ? ::WSAGetLastError() : 0;
    return reinterpret_cast<std::uintptr_t>(hTask);
}

void CancelAsync(std::uintptr_t hTask) { ::WSACancelAsyncRequest(reinterpret_cast<HANDLE>(hTask)); }

void ReadHostEntry(const char* pBuf, std::string& strName, std::vector<std::uint32_t>& addrs)
{
    const auto* pEntry = reinterpret_cast<const hostent*>(pBuf);
    strName = pEntry->h_name ? pEntry->h_name : "";
    if (pEntry->h_addrtype != AF_INET || pEntry->h_length != 4 || pEntry->h_addr_list == nullptr)
        return;
    for (char** pp = pEntry->h_addr_list; *pp != nullptr; ++pp) {
        std::uint32_t nAddr;
        std::memcpy(&nAddr, *pp, sizeof(nAddr));
        if (std::find(addrs.begin(), addrs.end(), nAddr) == addrs.end())
            addrs.push_back(nAddr);
    }
}

}  // namespace w32net
