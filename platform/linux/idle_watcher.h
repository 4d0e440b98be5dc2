// velmora --idle MINUTES: a small resident process that starts the show (velmora -s, as a
// child) whenever the desktop reports the user idle for that long.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace velmora::shell {

// Runs until SIGTERM, SIGINT or SIGHUP (0; a running show is ended too), or until the
// desktop's idle report goes away (1). 1 at once when the session offers no idle report.
// `showArgs`: the show's own arguments.
int runIdleWatcher(std::int64_t timeoutMs, const std::vector<std::string>& showArgs, std::ostream& err);

} // namespace velmora::shell
