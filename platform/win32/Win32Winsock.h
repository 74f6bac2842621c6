// Windows Sockets on ws2_32: the CWinsock the program runs with on Windows.
// Look-ups (WSAAsyncGetHostByName) and socket events (WSAAsyncSelect) go to
// the framework port's message-only window and reach the program's windows
// from there, through the framework's queue like every posted message.
#pragma once

#include "platform/Winsock.h"

#include <memory>

class CWin32WinsockState;

class CWin32Winsock : public CWinsock {
public:
    CWin32Winsock();
    ~CWin32Winsock() override;
    CWin32Winsock(const CWin32Winsock&) = delete;
    CWin32Winsock& operator=(const CWin32Winsock&) = delete;

    int WSAStartup(WORD wVersionRequested, WSADATA* lpWSAData) override;
    int WSACleanup() override;
    int gethostname(char* name, int namelen) override;
    HANDLE WSAAsyncGetHostByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen) override;
    std::vector<IN_ADDR> GetInterfaceAddresses() override;
    std::uint32_t inet_addr(const char* cp) override;
    CString inet_ntoa(IN_ADDR in) override;
    SOCKET socket(int af, int type, int protocol) override;
    int connect(SOCKET s, const SOCKADDR_IN* name, int namelen) override;
    int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) override;
    int WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, long lEvent) override;
    int send(SOCKET s, const char* buf, int len, int flags) override;
    int recv(SOCKET s, char* buf, int len, int flags) override;
    int closesocket(SOCKET s) override;
    int WSAGetLastError() override;

    // 20 seconds unless a test wants a shorter wait.
    void SetConnectTimeout(int nMilliseconds);

private:
    std::shared_ptr<CWin32WinsockState> m_pState;
};
