// Waking the user-interface thread on POSIX, for both Linux backends: another
// thread writes to an eventfd, which the backend's loop watches for reading
// and turns into one AfxPortRunQueued per wake. Only framework/posix/ and the
// Linux backends include this.
#pragma once

#include "framework/AfxTypes.h"

#include <atomic>
#include <thread>

class CAfxWaker {
public:
    // On the user-interface thread, once; TRUE if the descriptor is there.
    BOOL Open();
    int Descriptor() const { return m_fd.load(); }  // -1 until opened

    // Any thread. From another one it writes one wake and returns TRUE. On
    // the user-interface thread itself, and before Open, it writes nothing
    // and returns FALSE: the backend counts such a wake itself, without a
    // system call (and a wake before the loop runs is made again once it does).
    BOOL WakeFromOtherThread();
    BOOL OnUiThread() const { return std::this_thread::get_id() == m_uiThread; }

    // The wakes written since the last call; user-interface thread.
    int TakeWakes();

private:
    std::atomic<int> m_fd{-1};
    std::thread::id m_uiThread;
};
