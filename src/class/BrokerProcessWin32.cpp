#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <chrono>

#include "base/Error.h"
#include "base/Paths.h"
#include "class/BrokerProcess.h"

namespace vantrel {

namespace {

constexpr DWORD kStopWaitMs = 3000;

std::wstring quoted(const std::wstring& word) {
    return L"\"" + word + L"\"";
}

}  // namespace

tBrokerProcess::~tBrokerProcess() {
    Stop();
}

std::string tBrokerProcess::Start(const std::string& program, const std::string& configFile,
                                  const std::string& logFile) {
    Stop();
    ended_.clear();
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE log = CreateFileW(wideFromUtf8(logFile).c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (log != INVALID_HANDLE_VALUE) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = log;
        startup.hStdError = log;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    std::wstring command =
        quoted(wideFromUtf8(program)) + L" -c " + quoted(wideFromUtf8(configFile));
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, log != INVALID_HANDLE_VALUE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
    const DWORD error = GetLastError();
    if (log != INVALID_HANDLE_VALUE) {
        CloseHandle(log);
    }
    if (!started) {
        return program + " cannot be started: " + windowsErrorText(error);
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    return {};
}

bool tBrokerProcess::Running() {
    if (process_ == nullptr) {
        return false;
    }
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        return true;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    ended_ = "exit code " + std::to_string(code);
    CloseHandle(process_);
    process_ = nullptr;
    return false;
}

// The broker has no window to close and Windows no SIGTERM to send: it is
// ended outright, after the lesson's end has cleared what it kept.
void tBrokerProcess::Stop() {
    if (!Running()) {
        return;
    }
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, kStopWaitMs);
    CloseHandle(process_);
    process_ = nullptr;
    ended_ = "stopped";
}

std::string brokerProgramFor(const std::string& executablePath) {
    const std::string folder = executablePath.substr(0, executablePath.find_last_of("/\\") + 1);
    const std::string candidate = folder + "mosquitto.exe";
    if (GetFileAttributesW(wideFromUtf8(candidate).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return candidate;
    }
    return {};
}

}  // namespace vantrel
