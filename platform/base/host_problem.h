// Problems of the host beneath the simulated phone that neither the program
// nor the trace can carry to the user: a trace file that stops taking lines,
// a host disk that refuses the registry file. The first problem of each kind
// is said at once on standard error and kept for the run's summary; later
// ones of the same kind are dropped, so a failure that repeats every second
// is said once.
#pragma once

#include <string>
#include <vector>

namespace os::sim {

// `kind` groups problems that are said once ("trace", "registry"); `text`
// names what failed and the system's reason. Safe from any thread and under
// the trace's own lock: it never traces.
void ReportHostProblem(const std::string& kind, const std::string& text);
// The texts said so far, in order, one per kind.
std::vector<std::string> HostProblems();
void ClearHostProblems();

}  // namespace os::sim
