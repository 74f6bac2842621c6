// The platform's way to ws2_32: plain C++, no Windows type, so that our own
// Winsock declarations (platform/Winsock.h) never meet <winsock2.h>. Sockets
// and look-up handles cross as uintptr_t; errors are Winsock's own numbers,
// which ours share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace w32net {

// WSAStartup: the version granted and the implementation's texts.
int Startup(std::uint16_t wVersion, std::uint16_t& wGranted, std::uint16_t& wHigh, std::string& strDescription,
            std::string& strStatus);
int Cleanup();
int LastError();
int GetHostName(char* pszName, int nLength);  // 0 or the error
std::uint32_t InetAddr(const char* psz);
std::string InetNtoa(std::uint32_t nAddr);
std::vector<std::uint32_t> InterfaceAddresses();

// Each returns 0 or the error.
int Socket(std::uintptr_t& s);
int Connect(std::uintptr_t s, std::uint32_t nAddr, std::uint16_t nPort);
// A blocking connect that gives up after nTimeoutMs (WSAETIMEDOUT).
int ConnectBounded(std::uintptr_t s, std::uint32_t nAddr, std::uint16_t nPort, int nTimeoutMs);
int SetOption(std::uintptr_t s, int nLevel, int nName, const char* pValue, int nLength);
int AsyncSelect(std::uintptr_t s, void* hWnd, unsigned nMsg, long lEvents);
int Send(std::uintptr_t s, const char* pBuf, int nLength, int nFlags, int& nSent);
int Recv(std::uintptr_t s, char* pBuf, int nLength, int nFlags, int& nReceived);
int Close(std::uintptr_t s);

// WSAAsyncGetHostByName into pBuf (at least MAXGETHOSTSTRUCT bytes); 0 if it
// could not be issued (nError says why).
std::uintptr_t AsyncGetHostByName(void* hWnd, unsigned nMsg, const char* pszName, char* pBuf, int nLength,
                                  int& nError);
void CancelAsync(std::uintptr_t hTask);
// The name and IPv4 addresses of the system's host entry in pBuf.
void ReadHostEntry(const char* pBuf, std::string& strName, std::vector<std::uint32_t>& addrs);

}  // namespace w32net
