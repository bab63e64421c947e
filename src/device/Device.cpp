#include "device/Device.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "base/Error.h"
#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/NumberSetting.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "device/MeasureThread.h"
#include "device/Protocol.h"
#include "device/SerialPort.h"

namespace vantrel {

namespace {

constexpr unsigned kIdentifyReplyLength = kIdentifyReply.size();
constexpr unsigned kExchangeTimeoutMs = 500;
constexpr unsigned kQueryReplyLength = 80;

constexpr int kIdleCommandPauseMs = 50;
constexpr int kStopSettleMs = 300;

void writeLog(const std::string& text) {
    logFile->WriteLine(text);
}

void sleepMs(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

// Sleeps `ms` in short slices; false as soon as `cancel` is set.
bool sleepUnlessCancelled(int ms, const std::atomic<bool>* cancel) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        if (cancel != nullptr && cancel->load()) {
            return false;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(10), until - std::chrono::steady_clock::now()));
    }
    return cancel == nullptr || !cancel->load();
}

std::string hexDump(const std::uint8_t* bytes, unsigned count) {
    std::string text;
    char hex[8];
    for (unsigned i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof(hex), "0x%02X ", static_cast<unsigned>(bytes[i]));
        text += hex;
    }
    return text;
}

}  // namespace

tDevice::tDevice(std::string portPath, tSettings* settings)
    : portPath_(std::move(portPath)), settings_(settings), port_(createSerialPort(portPath_)) {}

tDevice::~tDevice() {
    tDevice::Close();
}

std::string tDevice::Setting(const std::string& name) const {
    return settings_ != nullptr ? settings_->GetSettingByName(name) : std::string();
}

// A read timeout of 0 would spin on POSIX and wait forever on Windows; a
// settle delay of hours would freeze the search: the keys' ranges keep them
// sane.
int tDevice::TimingSetting(const tNumberKey& key) const {
    if (settings_ == nullptr) {
        return static_cast<int>(key.fallback);
    }
    std::vector<tUnreadSetting> logged;
    return static_cast<int>(readNumberSetting(*settings_, key, logged));
}

bool tDevice::Open(std::string& error) {
    error.clear();
    const std::string dtr = toUpperAscii(Setting("DTR"));
    const bool haveDefault = port_->ReadDefaultConfig(portPath_);
    if (!haveDefault) {
        writeLog(portPath_ + ": Cannot get default config. " +
                 std::to_string(port_->LastErrorCode()) + " " + port_->LastErrorText());
    }
    // Without the stored record there is nothing sound to write back.
    if ((dtr == "SET" || dtr == "CLEAR") && haveDefault &&
        !port_->WriteDefaultDtr(portPath_, dtr == "SET")) {
        writeLog(portPath_ + ": Cannot set default config. " + port_->LastErrorText());
    }

    try {
        if (!port_->Open(portPath_)) {
            throw tError(formatMessage(1007, {portPath_, port_->LastErrorText()}));
        }
        // Neither matters for the link: some drivers (and emulators) refuse
        // the escape functions without the port being any less usable.
        port_->RaiseRts();
        port_->ClearBreak();

        unsigned modemStatus = 0;
        if (!port_->GetModemStatus(modemStatus)) {
            throw tError(constantText("DK_CANT_GET_DEVICE_STATE") + portPath_ + ".");
        }

        if (!sleepUnlessCancelled(TimingSetting(keys::kTimeout), cancel_)) {
            throw tError("cancelled");
        }

        const std::string liveDtr = toUpperAscii(Setting("DTR"));
        tDtrMode mode = tDtrMode::Keep;
        if (liveDtr == "ENABLE") {
            mode = tDtrMode::Raise;
        } else if (liveDtr == "DISABLE") {
            mode = tDtrMode::Drop;
        }
        if (!port_->ApplyLineSettings(mode) ||
            !port_->SetTimeouts(kExchangeTimeoutMs, kExchangeTimeoutMs)) {
            throw tError(formatMessage(1008, {portPath_, port_->LastErrorText()}));
        }
        port_->Purge();
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

void tDevice::Close() {
    // The thread reads the port until it has ended; it must never see it closed.
    thread_.reset();
    port_->SetBreak();
    port_->Close();
}

bool tDevice::Transact(const void* request, unsigned length, unsigned timeoutMs,
                       unsigned replyLength, void* reply) {
    const auto* requestBytes = static_cast<const std::uint8_t*>(request);
    auto* replyBytes = static_cast<std::uint8_t*>(reply);
    if (length > 0 && requestBytes == nullptr) {
        length = 0;
    }
    if (replyLength > 0 && replyBytes == nullptr) {
        replyLength = 0;
    }

    unsigned currentTimeout = 0;
    const bool haveTimeout = port_->GetReadTimeout(currentTimeout);
    if (replyLength != 0 && (!haveTimeout || currentTimeout != timeoutMs)) {
        port_->SetReadTimeout(timeoutMs);
    }
    if (length != 0 && !thread_) {
        writeLog("SEND: purge comm");
        port_->Purge();
    }
    writeLog("SEND: write bytes " + std::to_string(length));
    writeLog("SEND: HEX " + hexDump(requestBytes, length));
    writeLog("SEND: BIN '" +
             std::string(reinterpret_cast<const char*>(requestBytes), requestBytes ? length : 0) +
             "'");

    bool done = true;
    if (length != 0) {
        unsigned written = 0;
        done = port_->Write(requestBytes, length, written) && written == length;
    }
    if (done) {
        writeLog("SEND: request written");
    }
    writeLog("RECV: try to read bytes " + std::to_string(replyLength));

    bool result = done;
    if (done && replyLength != 0) {
        unsigned received = 0;
        result = port_->Read(replyBytes, replyLength, received) && received == replyLength;
        writeLog("RECV: read bytes " + std::to_string(received));
        writeLog("RECV: HEX " + hexDump(replyBytes, received));
        writeLog("RECV: BIN '" + std::string(reinterpret_cast<const char*>(replyBytes), received) +
                 "'");
    }
    writeLog("");
    return result;
}

bool tDevice::CheckIdentity() {
    // Zero or less has always meant the default number of attempts.
    const int count = TimingSetting(keys::kCheckCount);
    const int attempts = count > 0 ? count : static_cast<int>(keys::kCheckCount.fallback);
    const int timeout = TimingSetting(keys::kCheckTimeout);

    bool exchanged = false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (cancel_ != nullptr && cancel_->load()) {
            writeLog("CHECK: " + portPath_ + " CANCELLED");
            return false;
        }
        std::uint8_t reply[kIdentifyReplyLength] = {};
        exchanged = Transact(kIdentifyRequest.data(), kIdentifyRequest.size(),
                             static_cast<unsigned>(timeout), kIdentifyReplyLength, reply);
        if (exchanged && std::memcmp(reply, kIdentifyReply.data(), kIdentifyReplyLength) == 0) {
            return true;
        }
    }
    writeLog("CHECK: " + portPath_ + " " +
             (exchanged ? "ID NOT FOUND IN RESPONSE" : "READ ID FAILED"));
    return false;
}

bool tDevice::StartMeasure() {
    if (!thread_) {
        thread_ = std::make_unique<tMeasureThread>(*port_, eventHandler_);
    }
    return true;
}

bool tDevice::StopMeasure(tPacketQueue* leftover) {
    if (thread_) {
        thread_->Terminate();
        thread_->WaitFor();
        if (leftover != nullptr) {
            thread_->TakePackets(*leftover);
        }
        for (std::string& line : thread_->TakeFailedCommands()) {
            failedCommands_.push_back(std::move(line));
        }
        thread_.reset();
    }
    const bool result =
        Transact(kStopCommand.data(), kStopCommand.size(), kExchangeTimeoutMs, 0, nullptr);
    sleepMs(kStopSettleMs);
    port_->Purge();
    return result;
}

bool tDevice::IsMeasuring() const {
    return thread_ != nullptr;
}

std::size_t tDevice::TakePackets(tPacketQueue& queue) {
    if (!thread_) {
        return 0;
    }
    return thread_->TakePackets(queue);
}

bool tDevice::SendCommand(const std::string& command) {
    std::string line = command;
    line += kCommandEnd;
    if (thread_) {
        thread_->AddCommand(line);
        return true;
    }
    const bool result =
        Transact(line.data(), static_cast<unsigned>(line.size()), kExchangeTimeoutMs, 0, nullptr);
    sleepMs(kIdleCommandPauseMs);
    return result;
}

bool tDevice::SendUrgentCommand(const std::string& command, const std::string& supersedes) {
    if (!thread_) {
        return SendCommand(command);
    }
    std::string line = command;
    line += kCommandEnd;
    thread_->AddUrgentCommand(line, supersedes);
    return true;
}

std::vector<std::string> tDevice::TakeFailedCommands() {
    std::vector<std::string> failed = std::exchange(failedCommands_, {});
    if (thread_) {
        for (std::string& line : thread_->TakeFailedCommands()) {
            failed.push_back(std::move(line));
        }
    }
    for (std::string& line : failed) {
        line.erase(line.find_last_not_of("\r\n") + 1);
    }
    return failed;
}

bool tDevice::Query(const std::string& command, std::string& reply) {
    std::string line = command;
    line += kCommandEnd;
    reply.clear();
    if (thread_) {
        return false;
    }
    char buffer[kQueryReplyLength] = {};
    Transact(line.data(), static_cast<unsigned>(line.size()), kExchangeTimeoutMs, kQueryReplyLength,
             buffer);
    sleepMs(kIdleCommandPauseMs);
    reply.assign(buffer, strnlen(buffer, kQueryReplyLength));
    return reply.find(kCommandEnd) != std::string::npos;
}

void tDevice::SetEventHandler(std::function<void(tMeasureEvent)> handler) {
    eventHandler_ = std::move(handler);
}

}  // namespace vantrel
