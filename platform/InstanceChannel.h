// How a later start of the program reaches the copy that runs already: a
// Unix stream socket in the user's runtime folder (InstanceRuntimeDir), one
// request line per connection and one answer line back. The running copy
// reads its requests on the user-interface thread, through the framework's
// descriptor watch; the later start asks with plain blocking calls, before
// it has set up any backend.
#pragma once

#include "framework/AfxTypes.h"

#include <cstdint>
#include <functional>
#include <map>

// The answer that asks the caller to try again shortly: the running copy is
// still starting.
inline constexpr const char* kInstanceAnswerWait = "wait";

class CInstanceServer {
public:
    // Gets a request line (without its newline), returns the answer line.
    using Handler = std::function<CString(const CString& strRequest)>;

    CInstanceServer() = default;
    ~CInstanceServer();  // Stop()
    CInstanceServer(const CInstanceServer&) = delete;
    CInstanceServer& operator=(const CInstanceServer&) = delete;

    // Binds the socket at strPath and listens. The caller holds the lock that
    // makes it the running copy, so whatever is at strPath was left by a copy
    // that is gone, and is replaced. Connections wait in the queue until
    // Serve is called.
    BOOL Listen(const CString& strPath, CString& strError);
    // Answers requests from now on; needs the backend set up. Only this
    // user's processes are answered.
    void Serve(Handler fnHandler);
    // Closes every connection and the socket, and removes the socket file.
    void Stop();

    BOOL IsListening() const { return m_fdListen >= 0; }

private:
    struct CConnection {
        std::uintptr_t watch = 0;
        std::uintptr_t timer = 0;
        CString strReceived;
    };
    void OnAcceptable();
    void OnReadable(int fd);
    void CloseConnection(int fd);

    int m_fdListen = -1;
    std::uintptr_t m_watch = 0;
    CString m_strPath;
    Handler m_fnHandler;
    std::map<int, CConnection> m_connections;
};

// Sends strRequest to the copy listening at strPath and returns its answer.
// While no one listens there yet, or the answer is kInstanceAnswerWait, it
// tries again until nTimeoutMs have passed. Empty when no answer came.
CString AskRunningInstance(const CString& strPath, const CString& strRequest, int nTimeoutMs);
