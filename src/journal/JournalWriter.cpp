#include "journal/JournalWriter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Locale.h"
#include "base/LogFile.h"
#include "base/Paths.h"

namespace vantrel {

namespace fs = std::filesystem;

bool appendJournalEnd(const std::string& fileName) {
    const int fd = openDescriptor(fileName, tOpenMode::Append);
    if (fd < 0) {
        return false;
    }
    // A torn last line gets its own line feed first, so the end entry stays whole.
    const bool ok = writeAllBytes(fd, "\n" + encodeEnd(0)) && syncDescriptor(fd) == 0;
    closeDescriptor(fd);
    return ok;
}

void pruneJournals(const std::string& folder, std::size_t keep) {
    std::vector<fs::path> journals;
    std::error_code ec;
    for (fs::directory_iterator it(pathFromUtf8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
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
    fs::create_directories(pathFromUtf8(folder), ec);
    pruneJournals(folder, kKeptJournals - 1);
    const std::string base = utf8FromPath(pathFromUtf8(folder) / localTimeStamp("%Y-%m-%d_%H%M%S"));
    for (int n = 0; fd_ < 0 && n < 100; ++n) {
        fileName_ = base + (n == 0 ? "" : "_" + std::to_string(n)) + std::string(kJournalExtension);
        fd_ = openDescriptor(fileName_, tOpenMode::CreateNew);
        if (fd_ < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        throw tError(fileCreateErrorText(fileName_, systemErrorText(errno)));
    }
    tJournalHeader h = header;
    if (h.started.empty()) {
        h.started = localTimeStamp("%Y-%m-%d %H:%M:%S");
    }
    if (!writeAllBytes(fd_, encodeHeader(h)) || syncDescriptor(fd_) != 0) {
        const int error = errno;
        closeDescriptor(fd_);
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
    closeDescriptor(fd_);
}

void tJournalWriter::Queue(std::string line) {
    std::lock_guard lock(mutex_);
    pending_ += line;
}

void tJournalWriter::Reading(float time, const tReadingValues& readings) {
    Queue(encodeReading(time, readings));
}

void tJournalWriter::Intervention(float time, const std::string& text) {
    Queue(encodeIntervention(time, text));
}

void tJournalWriter::Transition(float time, int state, const std::string& name) {
    Queue(encodeTransition(time, state, name));
}

void tJournalWriter::Mark(int index) {
    Queue(encodeMark(index));
}

void tJournalWriter::Ending(tRunEnd how, long records) {
    Queue(encodeEnding(how, records));
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
    const bool ok = writeAllBytes(fd_, batch) && (!sync || syncDescriptor(fd_) == 0);
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
