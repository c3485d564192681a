#pragma once

#include <functional>

namespace hushnote {

// Lets the event loop run until fd, a pipe, takes more (true) or stop() says
// the user gave up (false): a reader that takes its time never freezes the
// window, and closing it still works.
bool WaitUntilWritable(int fd, const std::function<bool()>& stop);

} // namespace hushnote
