#include "base/InstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/Error.h"
#include "base/Texts.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace vantrel {

namespace {

[[noreturn]] void failStart(int message, const std::string& systemText) {
    throw tError(messageText(903) + messageText(message) + systemText);
}

}  // namespace

std::string tInstanceLock::MeetingPlace() {
#ifdef _WIN32
    std::error_code ec;
    return std::filesystem::temp_directory_path(ec).string();
#else
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    if (runtime != nullptr && *runtime != '\0' && std::filesystem::is_directory(runtime, ec)) {
        return runtime;
    }
    // No runtime folder: a folder of this user's own in the temporary one.
    const auto folder =
        std::filesystem::temp_directory_path(ec) / ("vantrel-" + std::to_string(::getuid()));
    std::filesystem::create_directories(folder, ec);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    return folder.string();
#endif
}

#ifdef _WIN32

tInstanceLock::tInstanceLock() {
    handle_ = CreateMutexA(nullptr, FALSE, kMutexName);
    if (handle_ == nullptr) {
        failStart(1002, windowsErrorText(GetLastError()));
    }
}

tInstanceLock::~tInstanceLock() {
    if (held_) {
        ReleaseMutex(handle_);
    }
    CloseHandle(handle_);
}

bool tInstanceLock::TryAcquire() {
    // An abandoned mutex (a copy that crashed) is taken like a free one.
    const DWORD result = WaitForSingleObject(handle_, 0);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return held_;
}

namespace {

struct tSearch {
    const std::string& title;
    const std::string& windowClass;
    DWORD ownProcess;
    HWND found;
    DWORD error;  // a class name that could not be read
};

BOOL CALLBACK findRunningCopy(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<tSearch*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->ownProcess || GetWindow(window, GW_OWNER) != nullptr) {
        return TRUE;
    }
    char name[256] = {};
    if (GetClassNameA(window, name, sizeof name) == 0) {
        search->error = GetLastError();
        return FALSE;
    }
    if (search->windowClass != name) {
        return TRUE;
    }
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (search->title == title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string tInstanceLock::WindowClassOf(void* window) {
    char name[256] = {};
    if (GetClassNameA(static_cast<HWND>(window), name, sizeof name) == 0) {
        failStart(1001, windowsErrorText(GetLastError()));
    }
    return name;
}

void tInstanceLock::BringForward(const std::string& title, const std::string& windowClass) {
    tSearch search{title, windowClass, GetCurrentProcessId(), nullptr, ERROR_SUCCESS};
    EnumWindows(findRunningCopy, reinterpret_cast<LPARAM>(&search));
    if (search.error != ERROR_SUCCESS) {
        failStart(1001, windowsErrorText(search.error));
    }
    if (search.found != nullptr) {
        // Restoring a window that is not minimised would un-maximise it.
        if (IsIconic(search.found)) {
            SendMessageA(search.found, WM_SYSCOMMAND, SC_RESTORE, 0);
        }
        SetForegroundWindow(search.found);
    }
}

#else

tInstanceLock::tInstanceLock() {
    const std::string path = MeetingPlace() + "/vantrel.lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        failStart(1002, systemErrorText(errno));
    }
}

tInstanceLock::~tInstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

bool tInstanceLock::TryAcquire() {
    return ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

#endif

}  // namespace vantrel
