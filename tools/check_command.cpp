// "kestrava-info check": one verdict per file, the problems listed under it.
#include <vector>

#include "tools/avi_checks.h"
#include "tools/avi_reader.h"
#include "tools/gps_log_reader.h"
#include "tools/host_file.h"
#include "tools/info_command.h"

namespace kinfo {
namespace {

constexpr const char* kCheckUsage =
    "usage: kestrava-info check FILE|FOLDER...\n"
    "\n"
    "Checks each AVI file's structure: RIFF and list sizes, \"movi\" against\n"
    "\"idx1\", the header counts against the chunks, and the recording data\n"
    "chunks (\"IGPS\", \"IEVT\", \"IFND\"); and each GPS log's header, record\n"
    "marks and numbers, count and end marker. A folder stands for its .avi\n"
    "and .gps files. Exit code 0 when every file is sound, 1 otherwise, with\n"
    "the problems listed.\n";

void Verdict(const std::string& path, const std::vector<std::string>& problems, const char* sound,
             std::ostream& out)
{
    if (problems.empty()) {
        out << path << ": " << sound << "\n";
        return;
    }
    out << path << ": " << problems.size() << (problems.size() == 1 ? " problem\n" : " problems\n");
    for (const std::string& problem : problems) out << "  - " << problem << "\n";
}

// 1 when the file is sound.
int CheckOne(const std::string& path, std::ostream& out)
{
    HostFile host;
    std::string error;
    if (!host.Open(path, &error)) {
        out << path << ": " << error << "\n";
        return 0;
    }
    if (host.Size() == 0) {
        out << path << ": empty (0 bytes)\n";
        return 0;
    }
    if (LooksLikeGpsLog(host)) {
        GpsLog log;
        if (!ReadGpsLog(host, &log, &error)) {
            out << path << ": " << error << "\n";
            return 0;
        }
        Verdict(path, log.problems, "sound GPS log", out);
        return log.problems.empty();
    }
    AviFile file;
    if (!ReadAvi(host, &file, &error)) {
        out << path << ": " << error << (host.Error().empty() ? " nor a GPS log" : "") << "\n";
        return 0;
    }
    const std::vector<std::string> problems = CheckAvi(file);
    Verdict(path, problems,
            CarriesRecordingData(file) ? "sound recording" : "sound AVI, carries no recording data", out);
    return problems.empty();
}

}  // namespace

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> files;
    if (const int done = FileArguments(args, "check", kCheckUsage, out, err, &files); done >= 0) return done;
    int result = 0;
    for (const std::string& path : InputFiles(files, out, &result)) {
        if (!CheckOne(path, out)) result = 1;
    }
    return result;
}

}  // namespace kinfo
