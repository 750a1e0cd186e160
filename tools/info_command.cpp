#include "tools/info_command.h"

namespace kinfo {
namespace {

constexpr const char* kUsage =
    "usage: kestrava-info COMMAND [OPTIONS] FILE...\n"
    "\n"
    "Reads the recordings and GPS logs of the Kestrava recorder.\n"
    "\n"
    "commands:\n"
    "  show [--json] FILE...      streams, summary, event tags and GPS record count\n"
    "  check FILE...              structure checks; exit 1 when a file has problems\n"
    "  export --format gpx|kml|csv|srt [--output FILE] FILE|FOLDER...\n"
    "                             the GPS track of one recording or a whole trip\n"
    "\n"
    "Run 'kestrava-info COMMAND --help' for a command's options.\n";

}  // namespace

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "show") return RunShow(rest, out, err);
    if (command == "check") return RunCheck(rest, out, err);
    if (command == "export") return RunExport(rest, out, err);
    err << "kestrava-info: unknown command '" << command << "'\n" << kUsage;
    return 2;
}

}  // namespace kinfo
