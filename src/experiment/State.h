#pragma once

#include <string>
#include <vector>

namespace vantrel {

// One state of a scenario: its number (the index of its section), the name
// shown to the user and the station commands sent on entering it.
class tState {
public:
    tState(int number, std::string name, std::vector<std::string> actions);

    int Number() const { return number_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    const std::vector<std::string>& Actions() const { return actions_; }
    void AddAction(std::string action) { actions_.push_back(std::move(action)); }

private:
    int number_;
    std::string name_;
    std::vector<std::string> actions_;
};

}  // namespace vantrel
