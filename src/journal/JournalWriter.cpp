#include "journal/JournalWriter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "base/Error.h"
#include "base/Files.h"
#include "base/LogFile.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vantrel {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
int openJournal(const std::string& name) {
    return ::_open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
}
long writeSome(int fd, const char* data, std::size_t size) {
    return ::_write(fd, data, static_cast<unsigned>(size));
}
int syncFile(int fd) {
    return ::_commit(fd);
}
int closeFile(int fd) {
    return ::_close(fd);
}
#else
int openJournal(const std::string& name) {
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}
long writeSome(int fd, const char* data, std::size_t size) {
    return static_cast<long>(::write(fd, data, size));
}
int syncFile(int fd) {
    return ::fsync(fd);
}
int closeFile(int fd) {
    return ::close(fd);
}
#endif

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const long n = writeSome(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string stamp(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

}  // namespace

bool appendJournalEnd(const std::string& fileName) {
#ifdef _WIN32
    const int fd = ::_open(fileName.c_str(), _O_WRONLY | _O_APPEND | _O_BINARY);
#else
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
#endif
    if (fd < 0) {
        return false;
    }
    // A torn last line gets its own line feed first, so the end entry stays whole.
    const bool ok = writeAll(fd, "\n" + encodeEnd(0)) && syncFile(fd) == 0;
    closeFile(fd);
    return ok;
}

void pruneJournals(const std::string& folder, std::size_t keep) {
    std::vector<fs::path> journals;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == kJournalExtension) {
            journals.push_back(it->path());
        }
    }
    std::sort(journals.begin(), journals.end());  // the names sort by start time
    for (std::size_t i = 0; i + keep < journals.size(); ++i) {
        fs::remove(journals[i], ec);
    }
}

tJournalWriter::tJournalWriter(const std::string& folder, const tJournalHeader& header) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    pruneJournals(folder, kKeptJournals - 1);
    const std::string base = (fs::path(folder) / stamp("%Y-%m-%d_%H%M%S")).string();
    for (int n = 0; fd_ < 0 && n < 100; ++n) {
        fileName_ = base + (n == 0 ? "" : "_" + std::to_string(n)) + std::string(kJournalExtension);
        fd_ = openJournal(fileName_);
        if (fd_ < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        throw tError(fileCreateErrorText(fileName_, systemErrorText(errno)));
    }
    tJournalHeader h = header;
    if (h.started.empty()) {
        h.started = stamp("%Y-%m-%d %H:%M:%S");
    }
    if (!writeAll(fd_, encodeHeader(h)) || syncFile(fd_) != 0) {
        const int error = errno;
        closeFile(fd_);
        throw tError(fileCreateErrorText(fileName_, systemErrorText(error)));
    }
    thread_ = std::thread([this] { Run(); });
}

tJournalWriter::~tJournalWriter() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    closeFile(fd_);
}

void tJournalWriter::Queue(std::string line) {
    std::lock_guard lock(mutex_);
    pending_ += line;
}

void tJournalWriter::Reading(float time, const tReadingValues& readings) {
    Queue(encodeReading(time, readings));
}

void tJournalWriter::Transition(float time, int state, const std::string& name) {
    Queue(encodeTransition(time, state, name));
}

void tJournalWriter::Mark(int index) {
    Queue(encodeMark(index));
}

void tJournalWriter::End(float time) {
    {
        std::lock_guard lock(mutex_);
        pending_ += encodeEnd(time);
        urgent_ = true;  // the end of a run goes to disk at once
    }
    wake_.notify_one();
}

void tJournalWriter::WriteOut(std::string& batch, bool sync) {
    if (batch.empty() && !sync) {
        return;
    }
    const bool ok = writeAll(fd_, batch) && (!sync || syncFile(fd_) == 0);
    if (!ok && !failed_) {
        failed_ = true;
        logFile->WriteLine("JOURNAL: " + fileCreateErrorText(fileName_, systemErrorText(errno)));
    }
    batch.clear();
}

void tJournalWriter::Run() {
    std::string batch;
    bool dirty = false;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, std::chrono::milliseconds(kFlushIntervalMs),
                       [this] { return stop_ || urgent_; });
        urgent_ = false;
        batch.swap(pending_);
        const bool stopping = stop_;
        lock.unlock();
        dirty = dirty || !batch.empty();
        // Written and synced once a second: the disk never lags a run by more.
        WriteOut(batch, dirty);
        dirty = false;
        lock.lock();
        if (stopping && pending_.empty()) {
            return;
        }
    }
}

}  // namespace vantrel
