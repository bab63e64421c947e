#pragma once

#include <algorithm>
#include <vector>

#include "run/RunEvent.h"

namespace vantrel {

// Several listeners of one run, told in the order they were added.
class tRunListeners : public iRunListener {
public:
    void Add(iRunListener& listener) { listeners_.push_back(&listener); }
    void Remove(iRunListener& listener) {
        listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener),
                         listeners_.end());
    }
    void OnEvent(const tRunEvent& event) override {
        for (iRunListener* listener : listeners_) {
            listener->OnEvent(event);
        }
    }
    void OnBatchEnd(float t) override {
        for (iRunListener* listener : listeners_) {
            listener->OnBatchEnd(t);
        }
    }

private:
    std::vector<iRunListener*> listeners_;
};

}  // namespace vantrel
