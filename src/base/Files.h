#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// File access shared by the log, the INI reader, the settings store and the
// journal, with one behaviour on POSIX and Windows. File names are UTF-8;
// on Windows they reach the system as UTF-16.

// True when `fileName` names an existing file that is not a directory.
bool fileExists(const std::string& fileName);

// Whether the name of `fileName` ends in `extension` (".lng") in any letter
// case: files made on Windows keep the capitals they were saved with.
bool hasExtension(const std::string& fileName, std::string_view extension);

// `fileName` with its extension replaced by `extension` (".tra" beside a
// scenario). When no such file exists, a file of the same name whose
// extension differs only in letter case ("LESSON.TRA" beside "LESSON.EXP"
// copied from Windows), the first in name order; else the exact name, so
// that an error names the file looked for.
std::string companionFile(const std::string& fileName, std::string_view extension);

// The most a configuration, scenario, script or language file may hold: a
// "file" that never ends (/dev/zero) or a huge one is refused, not read
// into memory.
inline constexpr std::size_t kMaxFileSize = 1 << 20;

// Reads the whole file into `bytes`. False when it does not exist; tError
// with the system's message when it exists but cannot be read, and when it
// holds more than `maxBytes`.
bool readFileIfExists(const std::string& fileName, std::string& bytes,
                      std::size_t maxBytes = kMaxFileSize);

// Writes `bytes` to `fileName` so that a failure never destroys what was
// there. A regular file (or none yet) is written through a temporary file
// beside it and a rename, so a failed write leaves the old file as it was.
// A symbolic link is followed and the file it names written that way; the
// link stays. A device or a pipe is written directly, never replaced by a
// file; anything else (a folder, a block device, a socket) is refused.
// tError with the system's message on failure.
void writeFileAtomically(const std::string& fileName, std::string_view bytes);

// Whether `fileName` can be written now, found out before a long run rather
// than after it: its folder takes a new file of a few kilobytes (a read-only
// or full file system shows here), or it is a device or pipe written in
// place. False with the system's reason otherwise.
bool canWriteFile(const std::string& fileName, std::string& reason);

// A file kept open by a writer (the journal): C runtime descriptors, -1 with
// errno set on failure. CreateNew fails when the file exists.
enum class tOpenMode { CreateNew, Append };
int openDescriptor(const std::string& fileName, tOpenMode mode);
// Writes every byte (interrupted writes resumed); false with errno set.
bool writeAllBytes(int fd, std::string_view bytes);
// What was written reaches the disk (fsync, _commit); 0 on success.
int syncDescriptor(int fd);
int closeDescriptor(int fd);

// The program's wording of file errors, around the system's own message.
std::string fileOpenErrorText(const std::string& fileName, const std::string& systemText);
std::string fileCreateErrorText(const std::string& fileName, const std::string& systemText);

}  // namespace vantrel
