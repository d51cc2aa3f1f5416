#pragma once

#include <functional>

namespace kb {

class Dialogs;

// Runs one user command at the event boundary. A failure it returns is shown as one message
// box (application title, critical icon) and the program goes on; a cancel is not shown.
void runGuarded(Dialogs& dialogs, const std::function<void()>& command);

// Runs a step whose failure is to be passed over without a word (start-up).
void runQuietly(const std::function<void()>& step);

} // namespace kb
