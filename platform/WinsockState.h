// What CPosixWinsock keeps: its sockets and pending look-ups, on the
// user-interface thread only, and the one resolver thread's queue.
//
// Socket readiness comes from the framework's descriptor watch on the
// user-interface thread; each event then waits in the framework's one queue
// with the posted messages and is handed to its window only if the socket
// still stands with the same selection. Look-up answers come from the
// resolver thread the same way, and are copied into the caller's buffer only
// while the caller's window lives.
#pragma once

#include "platform/HostLookup.h"
#include "platform/Winsock.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct CSocketEntry {
    int nFd = -1;
    bool bNonBlocking = false;
    // The selection (WSAAsyncSelect); hWnd null while there is none.
    HWND hWnd = nullptr;
    UINT nMsg = 0;
    long lEvent = 0;
    unsigned nSerial = 0;     // new with each selection: events of an older one are dropped
    bool bWantWrite = false;  // FD_WRITE is due once the socket is writable
    bool bReadArmed = false;  // FD_READ or FD_CLOSE may be reported (recv re-arms)
    bool bClosed = false;     // FD_CLOSE was reported; nothing follows it
    bool bConnecting = false;  // a non-blocking connect is under way; FD_CONNECT is due
    std::uintptr_t connectTimer = 0;  // gives the connect up after the time-out
    std::uintptr_t watch = 0;  // the framework's descriptor watch, while selected
};

struct CSocketEvent {
    SOCKET s;
    unsigned nSerial;
    HWND hWnd;
    UINT nMsg;
    LPARAM lParam;
};

struct CPendingLookup {
    HWND hWnd;
    UINT nMsg;
    char* pBuf;
    int nBufLen;
};

// One thread resolves names, one at a time, from a queue of its own. It is
// never joined: a resolver that hangs holds only that thread, never the
// program's exit. It touches nothing but its queue.
class CResolver : public std::enable_shared_from_this<CResolver> {
public:
    using Callback = std::function<void(CHostAnswer)>;
    // FALSE if the thread could not be started.
    bool Resolve(const std::string& strName, Callback fnDone);
    void Stop();

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::pair<std::string, Callback>> m_requests;
    bool m_bStarted = false;
    bool m_bStop = false;
};

class CWinsockState : public std::enable_shared_from_this<CWinsockState> {
public:
    CWinsockState();
    ~CWinsockState();
    CWinsockState(const CWinsockState&) = delete;
    CWinsockState& operator=(const CWinsockState&) = delete;

    static int ErrorFromErrno(int nErrno);

    int m_nStartups = 0;
    unsigned m_nGeneration = 0;  // rises whenever the sockets are cleaned up; older answers are dropped
    SOCKET m_nextSocket = 1;
    HANDLE m_nextLookup = 1;
    unsigned m_nextSerial = 1;
    int m_nConnectTimeoutMs = 20000;
    std::map<SOCKET, CSocketEntry> m_sockets;
    std::map<HANDLE, CPendingLookup> m_lookups;
    std::shared_ptr<CResolver> m_pResolver;

    // Watches the descriptor for what the selection still waits for.
    void UpdateWatch(SOCKET s, CSocketEntry& entry);
    void Unwatch(CSocketEntry& entry);
    // Closes every socket and forgets every look-up (clean-up).
    void CloseAll();
    // A window has gone: its selections and look-ups go with it.
    void WindowDestroyed(HWND hWnd);
    // A non-blocking connect is under way: FD_CONNECT follows, at the latest
    // after the time-out.
    void StartConnectWait(SOCKET s, CSocketEntry& entry);
    void StopConnectWait(CSocketEntry& entry);
    // The resolver's answer, on the user-interface thread.
    void LookupDone(HANDLE hLookup, unsigned nGeneration, const CHostAnswer& answer);

private:
    void OnReady(SOCKET s, short nReady);
    void QueueEvent(SOCKET s, const CSocketEntry& entry, long lEvent, int nError);
    void DeliverEvent(const CSocketEvent& ev);
};
