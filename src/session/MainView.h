#pragma once

#include "session/Dialogs.h"
#include "session/SessionView.h"
#include "session/WindowParts.h"

namespace vantrel {

// A whole window: the desktop program's and the tests' headless one.
class iMainView : public iSessionView, public iDialogs, public iWindowParts {};

}  // namespace vantrel
