#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "class/BrokerProcess.h"
#include "class/ClassTeacher.h"

namespace vantrel {

class tSettings;

// What the teacher tells the stations and the phones.
struct tLessonAddress {
    std::string className;
    std::string broker;          // what the stations set as ClassBroker
    std::string stationAccount;  // "station / PASSWORD"; empty on the school's own broker
    std::string pageUrl;         // the phones' page; empty without one
    std::string accountsFile;    // the sheet with the accounts; empty on the school's broker
    bool ownBroker = false;
};

// A lesson of one class on the teacher's computer: the broker started from
// the class's generated configuration (its passwords kept from lesson to
// lesson, so the stations' settings go on working), or the school's broker
// when ClassBroker names one; the teacher's link to it; at the end the
// class's retained topics cleared and the broker stopped.
class tClassLesson {
public:
    // tError saying why the lesson cannot open (a name that is no contract
    // name, no broker program, a configuration that cannot be written, a
    // broker that ends at once).
    tClassLesson(const tSettings& settings, const std::string& className,
                 const std::string& executablePath, std::function<void(const std::string&)> told);
    ~tClassLesson();
    tClassLesson(const tClassLesson&) = delete;
    tClassLesson& operator=(const tClassLesson&) = delete;

    void Tick(std::chrono::steady_clock::time_point now);
    tClassTeacher& Teacher() { return *teacher_; }
    const tClassTeacher& Teacher() const { return *teacher_; }
    const tLessonAddress& Address() const { return address_; }
    // The broker this program started ended by itself: why; empty otherwise.
    const std::string& BrokerEnded() const { return brokerEnded_; }

    // The lesson's end: retained topics cleared, the broker stopped. False
    // when the broker could not be reached to clear them.
    bool End();

private:
    tLessonAddress address_;
    tBrokerProcess broker_;
    std::unique_ptr<tClassTeacher> teacher_;
    std::string brokerEnded_;
    bool ended_ = false;
};

// The phones' page beside the program (the build folder, the Windows
// install) or in the installed data folder; empty when neither has it.
std::string classPageFolder(const std::string& executablePath);

}  // namespace vantrel
