#pragma once

#include <chrono>
#include <string>

namespace vantrel {

// Regional settings captured once at start. Numbers shown or exported use
// this decimal separator; numbers from the station are always parsed with ".".
struct tLocaleFacts {
    char decimalSeparator = '.';
    // Format tokens: d dd M MM yy yyyy H HH h hh m mm s ss zzz, other characters literal.
    std::string shortDateFormat = "dd.MM.yyyy";
    std::string longTimeFormat = "H:mm:ss";
};

// Reads the environment's locale (LC_ALL, LC_NUMERIC, LANG) for the decimal
// separator; the date and time formats are the day.month.year / H:mm:ss pair.
void captureLocaleFacts();
tLocaleFacts localeFacts();
void setLocaleFacts(const tLocaleFacts& facts);  // tests and start-up

// The log switch extends the long time format by ".zzz" (milliseconds).
void appendMillisecondsToLongTimeFormat();

std::string formatDateTime(const std::string& format, std::chrono::system_clock::time_point when);
// Now in local time by a strftime format ("%Y-%m-%d_%H%M%S"), for file
// names and records; at most 31 characters.
std::string localTimeStamp(const char* format);
// Time of day in the long time format (the main window's clock).
std::string longTimeText(std::chrono::system_clock::time_point when);
// A span of time written with the same format, as the clock would write the
// time of day that far past midnight (the switch-off countdown).
std::string longTimeText(std::chrono::milliseconds span);

}  // namespace vantrel
