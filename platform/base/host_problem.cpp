#include "platform/base/host_problem.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace os::sim {

namespace {

struct HostProblemState {
    std::mutex mu;
    std::set<std::string> kinds;
    std::vector<std::string> texts;
};

HostProblemState& Problems()
{
    static HostProblemState state;
    return state;
}

}  // namespace

void ReportHostProblem(const std::string& kind, const std::string& text)
{
    HostProblemState& s = Problems();
    std::lock_guard<std::mutex> lk(s.mu);
    if (!s.kinds.insert(kind).second) return;
    s.texts.push_back(text);
    std::fprintf(stderr, "kestrava: %s\n", text.c_str());
}

std::vector<std::string> HostProblems()
{
    std::lock_guard<std::mutex> lk(Problems().mu);
    return Problems().texts;
}

void ClearHostProblems()
{
    std::lock_guard<std::mutex> lk(Problems().mu);
    Problems().kinds.clear();
    Problems().texts.clear();
}

}  // namespace os::sim
