#include "tests/engine/ScriptedWinsock.h"

#include "framework/Wnd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

IN_ADDR CScriptedWinsock::Addr(const std::string& strDotted)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    IN_ADDR addr{0xFFFFFFFFu};
    if (std::sscanf(strDotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4 && a < 256 && b < 256 && c < 256 &&
        d < 256) {
        BYTE bytes[4] = {BYTE(a), BYTE(b), BYTE(c), BYTE(d)};
        std::memcpy(&addr.S_addr, bytes, 4);
    }
    return addr;
}

std::string CScriptedWinsock::Dotted(IN_ADDR addr)
{
    BYTE b[4];
    std::memcpy(b, &addr.S_addr, 4);
    char sz[16];
    std::snprintf(sz, sizeof(sz), "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return sz;
}

void CScriptedWinsock::AnswerLookup(size_t nIndex, const std::vector<std::string>& addresses, int nError)
{
    Lookup& lookup = m_lookups.at(nIndex);
    if (nError == 0) {
        // Host entry, then the address pointers, then the addresses, then the name.
        char* pBuf = lookup.pBuf;
        auto* pEntry = reinterpret_cast<HOSTENT*>(pBuf);
        char** ppList = reinterpret_cast<char**>(pBuf + sizeof(HOSTENT));
        char* pAddrs = reinterpret_cast<char*>(ppList + addresses.size() + 2);
        for (size_t i = 0; i < addresses.size(); ++i) {
            IN_ADDR addr = Addr(addresses[i]);
            std::memcpy(pAddrs + 4 * i, &addr, 4);
            ppList[i] = pAddrs + 4 * i;
        }
        ppList[addresses.size()] = nullptr;
        ppList[addresses.size() + 1] = nullptr;  // the empty alias list
        char* pName = pAddrs + 4 * addresses.size();
        std::strcpy(pName, lookup.strName.c_str());
        pEntry->h_name = pName;
        pEntry->h_aliases = &ppList[addresses.size() + 1];
        pEntry->h_addrtype = AF_INET_;
        pEntry->h_length = 4;
        pEntry->h_addr_list = ppList;
    }
    if (CWnd* pWnd = CWnd::FromHandle(lookup.hWnd))
        pWnd->SendMessage(lookup.nMsg, lookup.hHandle, MAKELPARAM(0, static_cast<WORD>(nError)));
}

void CScriptedWinsock::DeliverEvent(SOCKET s, long lEvent, int nError)
{
    auto it = m_selected.find(s);
    if (it == m_selected.end())
        return;
    if (CWnd* pWnd = CWnd::FromHandle(it->second.first))
        pWnd->SendMessage(it->second.second, static_cast<WPARAM>(s),
                          MAKELPARAM(static_cast<WORD>(lEvent), static_cast<WORD>(nError)));
}

int CScriptedWinsock::WSAStartup(WORD, WSADATA* lpWSAData)
{
    ++m_nStartups;
    if (lpWSAData)
        lpWSAData->wVersion = 0x0101;
    return m_nStartupResult;
}

int CScriptedWinsock::WSACleanup()
{
    ++m_nCleanups;
    return 0;
}

int CScriptedWinsock::gethostname(char* name, int namelen)
{
    std::snprintf(name, static_cast<size_t>(namelen), "%s", "testhost");
    return 0;
}

HANDLE CScriptedWinsock::WSAAsyncGetHostByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen)
{
    if (!m_bLookupsIssued)
        return 0;
    m_lookups.push_back({hWnd, wMsg, name, buf, buflen, m_nextLookup});
    return m_nextLookup++;
}

std::vector<IN_ADDR> CScriptedWinsock::GetInterfaceAddresses()
{
    std::vector<IN_ADDR> addrs;
    for (const std::string& str : m_interfaceAddresses)
        addrs.push_back(Addr(str));
    return addrs;
}

std::uint32_t CScriptedWinsock::inet_addr(const char* cp) { return Addr(cp).S_addr; }

CString CScriptedWinsock::inet_ntoa(IN_ADDR in) { return Dotted(in); }

SOCKET CScriptedWinsock::socket(int, int, int)
{
    if (m_bSocketFails) {
        m_nLastError = WSAEMFILE;
        return INVALID_SOCKET;
    }
    SOCKET s = m_nextSocket++;
    m_open.insert(s);
    m_lastSocket = s;
    return s;
}

int CScriptedWinsock::connect(SOCKET s, const SOCKADDR_IN* name, int)
{
    std::string strAddr = Dotted(name->sin_addr);
    m_connects.push_back(strAddr + ":" + std::to_string(CWinsock::htons(name->sin_port)));
    if (m_bConnectsTakeTime && m_selected.count(s)) {
        m_nLastError = WSAEWOULDBLOCK;
        return SOCKET_ERROR;
    }
    if (m_refusedAddresses.count(strAddr)) {
        m_nLastError = WSAECONNREFUSED;
        return SOCKET_ERROR;
    }
    return 0;
}

int CScriptedWinsock::setsockopt(SOCKET, int, int, const char*, int) { return 0; }

int CScriptedWinsock::WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, long lEvent)
{
    m_selected[s] = {hWnd, wMsg};
    m_selectedEvents[s] = lEvent;
    return 0;
}

int CScriptedWinsock::send(SOCKET s, const char* buf, int len, int)
{
    m_sent.push_back({s, std::string(buf, static_cast<size_t>(len))});
    return len;
}

int CScriptedWinsock::recv(SOCKET, char* buf, int len, int)
{
    ++m_nRecvs;
    int n = static_cast<int>(std::min<size_t>(m_strRecvData.size(), static_cast<size_t>(len)));
    std::memcpy(buf, m_strRecvData.data(), static_cast<size_t>(n));
    return n;
}

int CScriptedWinsock::closesocket(SOCKET s)
{
    m_closed.push_back(s);
    m_open.erase(s);
    m_selected.erase(s);
    return 0;
}
