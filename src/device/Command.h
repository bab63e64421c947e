#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// One command line for the station, as the program reads it: an actuator's
// switch ("H0,1,150", "D2,0"), a digitising period ("F500"), or any other
// line, which goes out as written. A flag is read as the station reads it:
// any value but 0 switches on, "H0,2,255" and "H0,-1,255" included. Every
// command the program sends is one of these, so the safety rules see what
// the station will do, not only one way of writing it.
class tCommand {
public:
    enum class tKind { Actuator, Period, Other };

    // Reads a command as a person wrote it (a scenario's action). A line
    // addressed to an actuator (its first field is "H0", "M0", "D1" to "D3",
    // in any case and with blanks around) must read ID,FLAG or ID,FLAG,VALUE
    // with whole numbers, a switch-on with its value; anything else of that
    // kind is refused with the reason in `error`. Other lines are kept as
    // they are.
    static std::optional<tCommand> Parse(std::string_view text, std::string& error);

    // The panel's set button: flag 1 with a value, or 0 when the value is 0
    // ("M0,1,120", "M0,1,-50", "H0,0,0").
    static tCommand Set(int actuator, int value);
    // "D2,0".
    static tCommand Off(int actuator);
    // "F500".
    static tCommand Period(int milliseconds);

    tKind Kind() const { return kind_; }
    // Index in the actuator table (0 heater .. 4 pump 3); -1 for other kinds.
    int Actuator() const { return actuator_; }
    // An actuator command whose flag is not 0.
    bool SwitchesOn() const { return kind_ == tKind::Actuator && flag_ != 0; }
    bool SwitchesOff() const { return kind_ == tKind::Actuator && flag_ == 0; }
    // The period a period command sets.
    int PeriodMs() const { return value_; }
    // The line for the wire, without its line end; numbers in plain decimal.
    const std::string& Text() const { return text_; }

private:
    tCommand(tKind kind, int actuator, int flag, int value, std::string text);

    tKind kind_ = tKind::Other;
    int actuator_ = -1;
    int flag_ = 0;
    int value_ = 0;
    std::string text_;
};

}  // namespace vantrel
