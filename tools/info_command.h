// kestrava-info: reads the recordings (AVI files with the recorder's GPS
// track, event tags and summary) and GPS logs that the phone wrote.
//
//   kestrava-info show [--json] FILE|FOLDER...
//   kestrava-info check FILE|FOLDER...
//   kestrava-info repair FILE...
//   kestrava-info export --format gpx|kml|csv|srt [--output FILE] FILE|FOLDER...
//
// RunInfo returns the process exit code: 0 done (check: every file sound),
// 1 a file with problems or unreadable, 2 a usage error. Results go to out,
// messages to err. Every file is read in bounded memory, whatever its size.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kinfo {

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The subcommands, with the arguments after their name.
int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunRepair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The file arguments of a subcommand that takes no option but --help:
// -1 with them in *files, else the exit code (0 after the help, 2 for an
// unknown option or no file, with `usage` written).
int FileArguments(const std::vector<std::string>& args, const char* command, const char* usage, std::ostream& out,
                  std::ostream& err, std::vector<std::string>* files);

// The files the paths name, each folder replaced by its ".avi" and ".gps"
// files. A folder that cannot be listed or holds none of them is reported
// to report and sets *result to 1.
std::vector<std::string> InputFiles(const std::vector<std::string>& paths, std::ostream& report, int* result);

}  // namespace kinfo
