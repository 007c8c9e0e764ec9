#pragma once

namespace testsupport {

/// Creates the one QCoreApplication of a test program when none exists yet, so that event
/// loops, timers and socket notifiers work. It lives until the program ends.
void EnsureCoreApplication();

}  // namespace testsupport
