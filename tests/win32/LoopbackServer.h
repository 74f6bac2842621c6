// A server on 127.0.0.1 for the Win32 socket tests, on ws2_32 directly:
// plain C++ here, Winsock's own header only in LoopbackServer.cpp, apart
// from the platform's names the tests use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CWin32LoopbackServer {
public:
    // Accepts connections one after another on a port of its own; from each
    // it reads strExpect's length of bytes (kept in Received()), answers
    // strReply and closes.
    CWin32LoopbackServer(std::size_t nExpect, std::string strReply);
    ~CWin32LoopbackServer();
    CWin32LoopbackServer(const CWin32LoopbackServer&) = delete;
    CWin32LoopbackServer& operator=(const CWin32LoopbackServer&) = delete;

    std::uint16_t Port() const;  // host byte order; 0 if it could not listen
    std::string Received() const;
    // A port of 127.0.0.1 on which no one listens (bound, never listening).
    static std::uint16_t ClosedPort();

private:
    struct CState;
    std::shared_ptr<CState> m_pState;
};
