#pragma once

#include <string>

namespace vantrel {

// Only one copy of the program runs per user. The running copy holds this
// lock for its whole life; the system releases it when a copy ends in any
// way, a crash or a kill included, so a copy that died never blocks the
// next start. On Windows it is the named mutex every copy of the program
// shares; elsewhere a lock on a file in the user's runtime folder.
class tInstanceLock {
public:
    static constexpr const char* kMutexName = "{E5278E5B-5ED2-4E1F-8217-FEA6D8036BFF}";

    // Creates or opens the lock. tError (messages 903 and 1002 with the
    // system's text) when it cannot be had at all.
    tInstanceLock();
    tInstanceLock(const tInstanceLock&) = delete;
    tInstanceLock& operator=(const tInstanceLock&) = delete;
    ~tInstanceLock();

    // True when this copy now holds the lock; false when another copy does.
    bool TryAcquire();

    // Where copies of this user meet: the lock and the running copy's
    // socket live here (the runtime folder, else the temporary one).
    static std::string MeetingPlace();

#ifdef _WIN32
    // Brings the running copy's window, the top-level window of another
    // process with this title and window class, to the front; restored
    // only when it was minimised.
    // tError (messages 903 and 1001) when a window's class cannot be read.
    static void BringForward(const std::string& title, const std::string& windowClass);
    // The class name of a window of this program (an HWND); tError
    // (messages 903 and 1001) when it cannot be read.
    static std::string WindowClassOf(void* window);
#endif

private:
#ifdef _WIN32
    void* handle_ = nullptr;
    bool held_ = false;
#else
    int fd_ = -1;
#endif
};

}  // namespace vantrel
