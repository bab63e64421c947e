#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "class/ClassRoster.h"

namespace vantrel {

class tMqttLink;

// Where the teacher's program reads the class: the broker and the account
// that may send commands.
struct tTeacherSettings {
    std::string broker;  // HOST[:PORT]
    std::string className;
    std::string user;
    std::string password;
};

// The teacher's side of the class link: every station's messages gathered
// into the roster, gaps asked for again, the one command there is (stop)
// sent to all and its answers collected, and the lesson's retained topics
// cleared at its end. It sends nothing that switches anything on.
class tClassTeacher {
public:
    using tTime = std::chrono::steady_clock::time_point;
    // A station that did not answer a stop within this long is listed so.
    static constexpr std::chrono::milliseconds kStopAnswerTime{5000};

    // `told` hears the link's state ("class: ...") whenever it changes.
    tClassTeacher(tTeacherSettings settings, std::function<void(const std::string&)> told);
    ~tClassTeacher();
    tClassTeacher(const tClassTeacher&) = delete;
    tClassTeacher& operator=(const tClassTeacher&) = delete;

    // Takes what arrived; call it from the program's thread, often.
    void Tick(tTime now);
    const tClassRoster& Roster() const { return roster_; }
    bool Connected() const { return connected_; }
    const std::string& StatusText() const { return statusText_; }
    const tTeacherSettings& Settings() const { return settings_; }

    // Every station of the class stops (with the broker's expiry, so that a
    // station that comes back an hour later does not stop then). Returns
    // the command's id.
    std::string StopAll(tTime now);

    // The lesson ends: every retained topic of the class is cleared, so
    // that no station of this lesson shows up in the next; then the link
    // closes. False when the broker could not be reached to clear them.
    bool EndLesson();
    // Leaves the broker (the destructor does it too).
    void Close();

private:
    void tell(const std::string& text);

    tTeacherSettings settings_;
    std::function<void(const std::string&)> told_;
    std::unique_ptr<tMqttLink> link_;
    tClassRoster roster_;
    bool connected_ = false;
    bool closed_ = false;
    std::string statusText_;
    long stops_ = 0;
};

}  // namespace vantrel
