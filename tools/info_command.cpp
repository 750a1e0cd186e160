#include "tools/info_command.h"

#include "tools/host_file.h"

namespace kinfo {
namespace {

constexpr const char* kUsage =
    "usage: kestrava-info COMMAND [OPTIONS] FILE...\n"
    "\n"
    "Reads the recordings and GPS logs of the Kestrava recorder.\n"
    "\n"
    "commands:\n"
    "  show [--json] FILE|FOLDER...  streams, summary, event tags and GPS records\n"
    "  check FILE|FOLDER...          structure checks; exit 1 when a file has problems\n"
    "  repair FILE...                make recordings cut by a power loss sound\n"
    "  export --format gpx|kml|csv|srt [--output FILE] FILE|FOLDER...\n"
    "                             the GPS track of one recording or a whole trip\n"
    "\n"
    "Run 'kestrava-info COMMAND --help' for a command's options.\n";

}  // namespace

int FileArguments(const std::vector<std::string>& args, const char* command, const char* usage, std::ostream& out,
                  std::ostream& err, std::vector<std::string>* files)
{
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << usage;
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            err << "kestrava-info " << command << ": unknown option '" << arg << "'\n" << usage;
            return 2;
        }
        files->push_back(arg);
    }
    if (files->empty()) {
        err << usage;
        return 2;
    }
    return -1;
}

std::vector<std::string> InputFiles(const std::vector<std::string>& paths, std::ostream& report, int* result)
{
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        const std::size_t before = files.size();
        std::string error;
        if (!FilesOf(path, &files, &error)) {
            report << "kestrava-info: " << error << "\n";
            *result = 1;
        } else if (files.size() == before) {
            report << "kestrava-info: " << path << ": a folder without .avi or .gps files\n";
            *result = 1;
        }
    }
    return files;
}

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
    if (command == "repair") return RunRepair(rest, out, err);
    if (command == "export") return RunExport(rest, out, err);
    err << "kestrava-info: unknown command '" << command << "'\n" << kUsage;
    return 2;
}

}  // namespace kinfo
