#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// One line the program keeps for its user between runs, each in a small
// file of the user's state folder (userStateFolder): the abscissa chosen,
// the folders the file choosers were last in. Forgetting is only an
// inconvenience, so neither function fails: a file that is missing, cannot
// be read or is not such a line reads as empty, and a failed write is
// logged. An empty file name stands for no memory at all.
std::string recallLine(const std::string& fileName);
// Writes only when the line differs from what is remembered.
void rememberLine(const std::string& fileName, std::string_view line);

}  // namespace vantrel
