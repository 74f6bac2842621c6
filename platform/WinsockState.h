// What CPosixWinsock shares between the user-interface thread, the poller
// thread and the look-up workers. Everything below m_mutex is guarded by it.
//
// The poller never touches a descriptor after closesocket has closed it:
// closesocket removes the socket under the lock and, if the poller is inside
// poll(), wakes it and waits for it to come out before closing. Events reach
// the window through the user-interface thread, which checks that the socket
// and its selection still stand before handing them on, so nothing of a
// closed socket is ever delivered.
#pragma once

#include "platform/Winsock.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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
};

struct CSocketEvent {
    SOCKET s;
    unsigned nSerial;
    HWND hWnd;
    UINT nMsg;
    LPARAM lParam;
};

class CWinsockState : public std::enable_shared_from_this<CWinsockState> {
public:
    CWinsockState() = default;
    ~CWinsockState();
    CWinsockState(const CWinsockState&) = delete;
    CWinsockState& operator=(const CWinsockState&) = delete;

    static int ErrorFromErrno(int nErrno);

    std::mutex m_mutex;
    int m_nStartups = 0;
    unsigned m_nGeneration = 0;  // rises whenever the sockets are cleaned up; older answers are dropped
    SOCKET m_nextSocket = 1;
    HANDLE m_nextLookup = 1;
    unsigned m_nextSerial = 1;
    int m_nConnectTimeoutMs = 20000;
    std::map<SOCKET, CSocketEntry> m_sockets;

    // These take the held lock.
    bool EnsurePoller(std::unique_lock<std::mutex>& lock);
    void WakePoller(std::unique_lock<std::mutex>& lock);
    // Returns once the poller polls no descriptor missing from m_sockets.
    void WaitForPoller(std::unique_lock<std::mutex>& lock);
    void StopPoller(std::unique_lock<std::mutex>& lock);

    // User-interface thread: hands the event to its window unless the socket
    // was closed or selected anew since.
    void DeliverEvent(const CSocketEvent& ev);

private:
    void PollLoop();
    void CheckSocket(SOCKET s, CSocketEntry& entry, short nRevents, std::vector<CSocketEvent>& events);

    std::thread m_poller;
    int m_fdWake = -1;
    bool m_bStopPoller = false;
    bool m_bInPoll = false;
    unsigned long m_nPass = 0;
    std::condition_variable m_cvPass;
};
