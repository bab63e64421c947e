#include "base/Files.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/Error.h"
#include "base/Functions.h"
#include "base/IniFile.h"
#include "base/Paths.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vantrel {

namespace {

#ifdef _WIN32
int openRead(const std::string& name) {
    return ::_wopen(wideFromUtf8(name).c_str(), _O_RDONLY | _O_BINARY);
}
int openNew(const std::string& name) {
    return ::_wopen(wideFromUtf8(name).c_str(),
                    _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}
long readSome(int fd, char* data, std::size_t size) {
    return ::_read(fd, data, static_cast<unsigned int>(size));
}
long writeSome(int fd, const char* data, std::size_t size) {
    constexpr std::size_t kMaxChunk = 0x40000000;
    return ::_write(fd, data, static_cast<unsigned int>(size < kMaxChunk ? size : kMaxChunk));
}
int flushToDisk(int fd) {
    return ::_commit(fd);
}
int closeFile(int fd) {
    return ::_close(fd);
}
void removeFile(const std::string& name) {
    ::_wunlink(wideFromUtf8(name).c_str());
}
int processId() {
    return ::_getpid();
}
#else
int openRead(const std::string& name) {
    return ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
}
int openNew(const std::string& name) {
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
long readSome(int fd, char* data, std::size_t size) {
    return static_cast<long>(::read(fd, data, size));
}
long writeSome(int fd, const char* data, std::size_t size) {
    return static_cast<long>(::write(fd, data, size));
}
int flushToDisk(int fd) {
    return ::fsync(fd);
}
int closeFile(int fd) {
    return ::close(fd);
}
void removeFile(const std::string& name) {
    ::unlink(name.c_str());
}
int processId() {
    return static_cast<int>(::getpid());
}
#endif

// Unique within the process and between processes, so two saves never share
// a temporary file.
std::string temporaryNameFor(const std::string& fileName) {
    static std::atomic<unsigned> counter{0};
    return fileName + ".tmp" + std::to_string(processId()) + "-" +
           std::to_string(counter.fetch_add(1));
}

}  // namespace

int openDescriptor(const std::string& fileName, tOpenMode mode) {
#ifdef _WIN32
    const int flags = mode == tOpenMode::CreateNew ? _O_CREAT | _O_EXCL : _O_APPEND;
    return ::_wopen(wideFromUtf8(fileName).c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT | flags,
                    _S_IREAD | _S_IWRITE);
#else
    const int flags = mode == tOpenMode::CreateNew ? O_CREAT | O_EXCL : O_APPEND;
    return ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC | flags, 0644);
#endif
}

bool writeAllBytes(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const long written = writeSome(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

int syncDescriptor(int fd) {
    return flushToDisk(fd);
}

int closeDescriptor(int fd) {
    return closeFile(fd);
}

std::string fileOpenErrorText(const std::string& fileName, const std::string& systemText) {
    return "Cannot open file \"" + fileName + "\". " + systemText;
}

std::string fileCreateErrorText(const std::string& fileName, const std::string& systemText) {
    return "Cannot create file \"" + fileName + "\". " + systemText;
}

bool fileExists(const std::string& fileName) {
    if (fileName.empty()) {
        return false;
    }
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(wideFromUtf8(fileName).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
#else
    struct stat info {};
    return ::stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
#endif
}

bool hasExtension(const std::string& fileName, std::string_view extension) {
    return equalsIgnoreCase(utf8FromPath(pathFromUtf8(fileName).extension()), extension);
}

std::string companionFile(const std::string& fileName, std::string_view extension) {
    namespace fs = std::filesystem;
    const fs::path exact = pathFromUtf8(fileName).replace_extension(pathFromUtf8(extension));
    const std::string exactName = utf8FromPath(exact);
    if (fileExists(exactName)) {
        return exactName;
    }
    const fs::path folder = exact.parent_path();
    const fs::path stem = exact.stem();
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        const fs::path name = it->path().filename();
        const std::string candidate = utf8FromPath(folder / name);
        if (name.stem() == stem && hasExtension(candidate, extension) && fileExists(candidate)) {
            found.push_back(candidate);
        }
    }
    // Listing order differs between file systems; the choice must not.
    std::sort(found.begin(), found.end());
    return found.empty() ? exactName : found.front();
}

bool readFileIfExists(const std::string& fileName, std::string& bytes, std::size_t maxBytes) {
    const int fd = fileName.empty() ? -1 : openRead(fileName);
    if (fd < 0) {
        const int error = fileName.empty() ? ENOENT : errno;
        if (error == ENOENT) {
            return false;
        }
        throw tError(fileOpenErrorText(fileName, systemErrorText(error)));
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const long got = readSome(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            closeFile(fd);
            throw tError(fileOpenErrorText(fileName, systemErrorText(error)));
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() > maxBytes) {
            closeFile(fd);
            throw tError(fileOpenErrorText(fileName, "The file is larger than " +
                                                         std::to_string(maxBytes / 1024) +
                                                         " KB; it is not one of the program's."));
        }
    }
    closeFile(fd);
    bytes = std::move(content);
    return true;
}

namespace {

// What writing to a name would meet, after following symbolic links.
enum class tTarget { Replaceable, Direct, Folder, Other };

#ifdef _WIN32
bool isWindowsDeviceName(const std::string& fileName) {
    std::string base = fileName.substr(fileName.find_last_of("\\/:") + 1);
    base = base.substr(0, base.find('.'));
    for (char& c : base) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (base == "NUL" || base == "CON" || base == "PRN" || base == "AUX") {
        return true;
    }
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
           std::isdigit(static_cast<unsigned char>(base[3]));
}

tTarget classify(std::string& fileName) {
    if (fileName.starts_with("\\\\.\\") || isWindowsDeviceName(fileName)) {
        return tTarget::Direct;
    }
    const DWORD attributes = GetFileAttributesW(wideFromUtf8(fileName).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return tTarget::Folder;
    }
    return tTarget::Replaceable;
}

int openDirect(const std::string& name) {
    return ::_wopen(wideFromUtf8(name).c_str(), _O_WRONLY | _O_BINARY);
}
#else
tTarget classify(std::string& fileName) {
    // Follow links by hand, so that one naming a file that does not exist
    // yet still leads to where the file belongs.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(fileName.c_str(), &info) != 0) {
            return tTarget::Replaceable;  // not there yet (or unreachable: the write will say)
        }
        if (S_ISLNK(info.st_mode)) {
            std::string link(4096, '\0');
            const ssize_t length = ::readlink(fileName.c_str(), link.data(), link.size());
            if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) {
                return tTarget::Other;
            }
            link.resize(static_cast<std::size_t>(length));
            const std::size_t slash = fileName.find_last_of('/');
            fileName = link.front() == '/' || slash == std::string::npos
                           ? link
                           : fileName.substr(0, slash + 1) + link;
            continue;
        }
        if (S_ISREG(info.st_mode)) {
            return tTarget::Replaceable;
        }
        if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) {
            return tTarget::Direct;
        }
        return S_ISDIR(info.st_mode) ? tTarget::Folder : tTarget::Other;
    }
    return tTarget::Other;  // a loop of links
}

int openDirect(const std::string& name) {
    // Without a reader a pipe would block the program; it fails instead.
    const int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}
#endif

void writeDirectly(const std::string& fileName, const std::string& target, std::string_view bytes) {
    const int fd = openDirect(target);
    if (fd < 0) {
        throw tError(fileCreateErrorText(fileName, systemErrorText(errno)));
    }
    if (!writeAllBytes(fd, bytes)) {
        const int error = errno;
        closeFile(fd);
        throw tError(fileCreateErrorText(fileName, systemErrorText(error)));
    }
    closeFile(fd);
}

void replaceFile(const std::string& fileName, const std::string& target, std::string_view bytes) {
    const std::string temporary = temporaryNameFor(target);
    const int fd = openNew(temporary);
    if (fd < 0) {
        throw tError(fileCreateErrorText(fileName, systemErrorText(errno)));
    }
#ifndef _WIN32
    // The replacement keeps the permissions of the file it replaces.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        (void)::fchmod(fd, old.st_mode & 07777);
    }
#endif
    // Every byte must be on disk before the rename, or a crash could still
    // leave an empty file behind.
    if (!writeAllBytes(fd, bytes) || flushToDisk(fd) != 0) {
        const int error = errno;
        closeFile(fd);
        removeFile(temporary);
        throw tError(fileCreateErrorText(fileName, systemErrorText(error)));
    }
    if (closeFile(fd) != 0) {
        const int error = errno;
        removeFile(temporary);
        throw tError(fileCreateErrorText(fileName, systemErrorText(error)));
    }
#ifdef _WIN32
    if (!MoveFileExW(wideFromUtf8(temporary).c_str(), wideFromUtf8(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        removeFile(temporary);
        throw tError(fileCreateErrorText(fileName, windowsErrorText(error)));
    }
#else
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        removeFile(temporary);
        throw tError(fileCreateErrorText(fileName, systemErrorText(error)));
    }
#endif
}

}  // namespace

bool canWriteFile(const std::string& fileName, std::string& reason) {
    std::string target = fileName;
    switch (classify(target)) {
        case tTarget::Direct:
            return true;
        case tTarget::Folder:
            reason = systemErrorText(EISDIR);
            return false;
        case tTarget::Other:
            reason = "It is not a file that can be written.";
            return false;
        case tTarget::Replaceable:
            break;
    }
    const std::string probe = temporaryNameFor(target);
    const int fd = openNew(probe);
    if (fd < 0) {
        reason = systemErrorText(errno);
        return false;
    }
    const std::string block(4096, '\0');
    const bool written = writeAllBytes(fd, block) && flushToDisk(fd) == 0;
    const int error = errno;
    closeFile(fd);
    removeFile(probe);
    if (!written) {
        reason = systemErrorText(error);
    }
    return written;
}

void writeFileAtomically(const std::string& fileName, std::string_view bytes) {
    if (fileName.empty()) {
        throw tError(fileCreateErrorText(fileName, systemErrorText(ENOENT)));
    }
    std::string target = fileName;
    switch (classify(target)) {
        case tTarget::Replaceable:
            replaceFile(fileName, target, bytes);
            return;
        case tTarget::Direct:
            writeDirectly(fileName, target, bytes);
            return;
        case tTarget::Folder:
            throw tError(fileCreateErrorText(fileName, systemErrorText(EISDIR)));
        case tTarget::Other:
            break;
    }
    throw tError(fileCreateErrorText(fileName, "It is not a file that can be written."));
}

}  // namespace vantrel
