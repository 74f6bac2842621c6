// A network that does exactly what the test says: look-ups wait until the
// test answers them, sockets connect or fail as scripted, and everything the
// engine asked for is recorded.
#pragma once

#include "platform/Winsock.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class CScriptedWinsock : public CWinsock {
public:
    struct Lookup {
        HWND hWnd;
        UINT nMsg;
        std::string strName;
        char* pBuf;
        int nBufLen;
        HANDLE hHandle;
    };
    struct Sent {
        SOCKET s;
        std::string strData;
    };

    CScriptedWinsock() { SetWinsock(this); }
    ~CScriptedWinsock() override { SetWinsock(nullptr); }

    // Answers look-up nIndex (in issue order) by writing a host entry with the
    // given dotted-quad addresses into its buffer and sending its message, as
    // the platform's helper would post it.
    void AnswerLookup(size_t nIndex, const std::vector<std::string>& addresses, int nError = 0);
    void AnswerLastLookup(const std::vector<std::string>& addresses, int nError = 0)
    {
        AnswerLookup(m_lookups.size() - 1, addresses, nError);
    }
    // Delivers a socket event to the window that asked for it.
    void DeliverEvent(SOCKET s, long lEvent, int nError = 0);

    static IN_ADDR Addr(const std::string& strDotted);
    static std::string Dotted(IN_ADDR addr);

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
    int WSAGetLastError() override { return m_nLastError; }

    // ---- the script
    int m_nStartupResult = 0;
    bool m_bLookupsIssued = true;      // false: WSAAsyncGetHostByName returns 0
    bool m_bSocketFails = false;
    std::set<std::string> m_refusedAddresses;  // connect to these fails
    bool m_bConnectsTakeTime = false;  // connects of selected sockets give WSAEWOULDBLOCK
    std::vector<std::string> m_interfaceAddresses = {"127.0.0.1"};
    std::string m_strRecvData = "HTTP/1.0 200 OK\r\n\r\n";

    // ---- what happened
    int m_nStartups = 0;
    int m_nCleanups = 0;
    std::vector<Lookup> m_lookups;
    std::vector<std::string> m_connects;  // "a.b.c.d:port"
    std::vector<Sent> m_sent;
    std::set<SOCKET> m_open;
    std::vector<SOCKET> m_closed;
    std::map<SOCKET, std::pair<HWND, UINT>> m_selected;
    std::map<SOCKET, long> m_selectedEvents;
    int m_nRecvs = 0;
    SOCKET m_lastSocket = INVALID_SOCKET;  // the last one made

private:
    SOCKET m_nextSocket = 100;
    HANDLE m_nextLookup = 1;
    int m_nLastError = 0;
};
