// "kestrava-info export": the GPS track of recordings and GPS logs.
#include "tools/host_file.h"
#include "tools/info_command.h"
#include "tools/track_formats.h"
#include "tools/trip_track.h"

namespace kinfo {
namespace {

constexpr const char* kExportUsage =
    "usage: kestrava-info export --format gpx|kml|csv|srt [--output FILE] FILE|FOLDER...\n"
    "\n"
    "Writes the GPS track of the recordings (.avi) and GPS logs (.gps) given,\n"
    "or found in the folders given, ordered by the time they were opened.\n"
    "Only records with a valid fix give positions, each time once and in\n"
    "order (a fix no later than the one before is left out); times are UTC.\n"
    "Empty files are skipped; what is left out is noted on standard error.\n"
    "  --format gpx   GPX 1.1: one track, a new segment where the fix is lost or\n"
    "                 files do not join; events as waypoints\n"
    "  --format kml   KML: the track as lines, events as points\n"
    "  --format csv   one row per position\n"
    "  --format srt   subtitles for the video: time, speed and position once a\n"
    "                 second (recordings only; GPS logs have no video)\n"
    "  --output FILE  write there instead of to standard output; it is replaced\n"
    "                 only once written whole, and may not be one of the inputs\n";

struct ExportOptions {
    std::string format;
    std::string output;
    std::vector<std::string> paths;
};

// 1 with the options; 0 after a message (help: 0 with help set).
int ParseExport(const std::vector<std::string>& args, ExportOptions* options, bool* help, std::ostream& err)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            *help = true;
            return 0;
        }
        if (arg == "--format" || arg == "--output") {
            if (i + 1 >= args.size()) {
                err << "kestrava-info export: " << arg << " needs a value\n";
                return 0;
            }
            (arg == "--format" ? options->format : options->output) = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            err << "kestrava-info export: unknown option '" << arg << "'\n";
            return 0;
        } else {
            options->paths.push_back(arg);
        }
    }
    const std::string& f = options->format;
    if (f != "gpx" && f != "kml" && f != "csv" && f != "srt") {
        err << "kestrava-info export: --format must be gpx, kml, csv or srt\n";
        return 0;
    }
    if (options->paths.empty()) {
        err << "kestrava-info export: no files given\n";
        return 0;
    }
    return 1;
}

void Write(const std::string& format, const Trip& trip, std::ostream& out)
{
    if (format == "gpx") WriteGpx(trip, out);
    if (format == "kml") WriteKml(trip, out);
    if (format == "csv") WriteCsv(trip, out);
    if (format == "srt") WriteSrt(trip, out);
}

}  // namespace

int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    ExportOptions options;
    bool help = false;
    if (!ParseExport(args, &options, &help, err)) {
        if (help) {
            out << kExportUsage;
            return 0;
        }
        err << kExportUsage;
        return 2;
    }
    Trip trip;
    std::string error;
    const int loaded = LoadTrip(options.paths, &trip, &error);
    for (const std::string& note : trip.notes) err << "kestrava-info: note: " << note << "\n";
    if (!loaded) {
        err << "kestrava-info: " << error << "\n";
        return 1;
    }
    const auto write = [&](std::ostream& to) { Write(options.format, trip, to); };
    if (options.output.empty()) {
        write(out);
        return 0;
    }
    FileIdentity output;
    if (IdentityOf(options.output, &output)) {
        for (const FileIdentity& input : trip.inputs) {
            if (input != output) continue;
            err << "kestrava-info: " << options.output << ": is one of the files read; not overwritten\n";
            return 1;
        }
    }
    if (!WriteHostFile(options.output, write, &error)) {
        err << "kestrava-info: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace kinfo
