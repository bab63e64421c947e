#pragma once

// The station's protocol as the program speaks it, in one place: every
// command it sends and the grammar of the lines it reads back. Constants and
// free functions, no state. Commands given to tDevice::SendCommand and
// tDevice::Query carry no line end (the device adds kCommandEnd); the lines
// the device writes itself (identification, start, stop) are complete.
// The simulator keeps its own copy of all this on purpose: it is the
// independent side of the tests.

#include <optional>
#include <string>
#include <string_view>

#include "device/Actuators.h"
#include "device/Command.h"

namespace vantrel {

inline constexpr std::string_view kCommandEnd = "\r\n";

// The identification exchange: the station answers exactly these bytes.
inline constexpr std::string_view kIdentifyRequest = "I\r\n";
inline constexpr std::string_view kIdentifyReply = "A-VANTREL\r\n";

// Measurement: state records follow the start until the stop.
inline constexpr std::string_view kStartCommand = "S\r\n";
inline constexpr std::string_view kStopCommand = "T\r\n";

// Asks for the actuators' states (see matchStateReply).
inline constexpr char kStateQuery[] = "?";

// The station's digitising period, milliseconds.
inline constexpr int kMinPeriodMs = 200;
inline constexpr int kMaxPeriodMs = 60000;
bool isPeriodInRange(int milliseconds);
// "F500".
std::string periodCommand(int milliseconds);
// The period a command sets when it is a period command within the limits
// (a scenario's "F500"); nothing for any other command.
std::optional<int> periodOfCommand(std::string_view command);

// The set button's command for the text typed in actuator `index`'s frame:
// anything that is not a whole integer counts as 0 ("M0,1,120", "M0,1,-50",
// "H0,0,0"). The clear button sends tCommand::Off.
tCommand setCommand(int index, std::string_view typedValue);

// "id:%d,%d\t" for every actuator in table order: the actuator part of a
// state record and the whole reply to the state query.
std::string actuatorPattern(const tActuatorTable& table);

// A state record: the seven readings (LT, LP, LC, LE, V1, V2, V3; volumes in
// the station's units), the actuators' state and set value, and the
// station's time TT in milliseconds, 18 values in all.
std::string recordPattern(const tActuatorTable& table);
inline constexpr int kRecordValueCount = 18;

// Matches the reply to the state query into the table's states and set
// values (each number stored as it matches). Returns the count of numbers
// stored (10 when the reply is complete), -1 for an empty reply.
int matchStateReply(tActuatorTable& table, std::string_view reply);

}  // namespace vantrel
