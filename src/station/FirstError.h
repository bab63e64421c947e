#pragma once

#include <exception>
#include <utility>

#include "base/Error.h"

namespace vantrel {

// Work that must go on after a failure (every reading of a tick is decoded
// and plotted even when the scenario's script fails on one of them): keeps
// the first error and raises it once the work is done.
class tFirstError {
public:
    template <class F>
    void Run(F&& work) {
        try {
            work();
        } catch (const std::exception& e) {
            if (!error_) {
                error_ = std::make_exception_ptr(tError(e.what()));
            }
        }
    }
    // Raises the kept error, if any, and forgets it.
    void Raise() {
        if (error_) {
            std::rethrow_exception(std::exchange(error_, nullptr));
        }
    }

private:
    std::exception_ptr error_;
};

}  // namespace vantrel
