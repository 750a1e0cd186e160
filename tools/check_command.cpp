// "kestrava-info check": one verdict per file, the problems listed under it.
#include <vector>

#include "tools/avi_checks.h"
#include "tools/avi_reader.h"
#include "tools/host_file.h"
#include "tools/info_command.h"

namespace kinfo {
namespace {

constexpr const char* kCheckUsage =
    "usage: kestrava-info check FILE...\n"
    "\n"
    "Checks each AVI file's structure: RIFF and list sizes, \"movi\" against\n"
    "\"idx1\", the header counts against the chunks, and the recording data\n"
    "chunks (\"IGPS\", \"IEVT\", \"IFND\"). Exit code 0 when every file is\n"
    "sound, 1 otherwise, with the problems listed.\n";

// 1 when the file is sound.
int CheckOne(const std::string& path, std::ostream& out)
{
    std::vector<std::uint8_t> bytes;
    std::string error;
    AviFile file;
    if (!ReadHostFile(path, &bytes, &error)) {
        out << error << "\n";
        return 0;
    }
    if (!ReadAvi(bytes.data(), bytes.size(), &file, &error)) {
        out << path << ": " << error << "\n";
        return 0;
    }
    const std::vector<std::string> problems = CheckAvi(file);
    if (problems.empty()) {
        out << path << ": sound"
            << (CarriesRecordingData(file) ? " recording\n" : " AVI, carries no recording data\n");
        return 1;
    }
    out << path << ": " << problems.size() << (problems.size() == 1 ? " problem\n" : " problems\n");
    for (const std::string& problem : problems) out << "  - " << problem << "\n";
    return 0;
}

}  // namespace

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << kCheckUsage;
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            err << "kestrava-info check: unknown option '" << arg << "'\n" << kCheckUsage;
            return 2;
        }
        files.push_back(arg);
    }
    if (files.empty()) {
        err << kCheckUsage;
        return 2;
    }
    int sound = 1;
    for (const std::string& path : files) sound &= CheckOne(path, out);
    return sound ? 0 : 1;
}

}  // namespace kinfo
