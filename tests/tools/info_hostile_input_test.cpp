// kestrava-info, run as the program, on what a user may hand it by mistake:
// folders, devices, FIFOs, names the system refuses, empty recordings, an
// output that is one of the inputs, and an output that cannot be written.
// Every case ends in a clear exit code with the system's reason, and no
// input is changed.
#include <sys/stat.h>
#include <unistd.h>

#include "tests/tools/info_test_support.h"

namespace testing_support {
namespace {

class InfoHostileInputTest : public InfoTest {
protected:
    // A folder of one recording and one GPS log, the log's fix before the
    // recording's (a log whose summary was never written comes first).
    std::string TripFolder()
    {
        const std::string recording =
            WriteRecording("trip.avi", 20, {TrackRecord(48.1f, 11.5f, 1, 0, 0), TrackRecord(48.2f, 11.6f, 2, 10, 1)}, {});
        const std::string folder = std::filesystem::path(recording).parent_path().string();
        WriteBytes(folder + "/drive.gps", GpsLogBytes({FixAtTime(48.3f, 11.7f, 7 * 3600 + 58 * 60 + 50)}, true));
        return folder;
    }

    // The program with a guard, so that one waiting on a FIFO fails the test
    // instead of hanging it; standard output may go elsewhere, its error
    // stream is kept.
    static ToolResult Guarded(const std::string& arguments, const std::string& output = "")
    {
        return RunTool("{ timeout 60 " + std::string(KESTRAVA_BINARY_DIR) + "/kestrava-info " + arguments +
                       (output.empty() ? "" : " > " + output) + "; }");
    }
};

TEST_F(InfoHostileInputTest, PathsThatAreNoRecordingGetTheSystemsReason)
{
    const std::string folder = TripFolder();
    const std::string empty = root_ + "/nothing";
    std::filesystem::create_directory(empty);
    const std::string fifo = root_ + "/pipe.avi";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string plain = WriteBytes(root_ + "/plain.avi", {'x'});
    const struct {
        std::string path;
        const char* reason;
    } refused[] = {
        {"/dev/zero", "/dev/zero: a character device, not a regular file"},
        {fifo, "pipe.avi: a FIFO, not a regular file"},
        {empty, "nothing: a folder without .avi or .gps files"},
        {root_ + "/" + std::string(300, 'n') + ".avi", "File name too long"},
        {plain + "/inside.avi", "plain.avi/inside.avi: cannot open: Not a directory"},
        {root_ + "/missing.avi", "missing.avi: cannot open: No such file or directory"},
    };
    for (const char* command : {"show", "show --json", "check", "export --format csv"}) {
        for (const auto& r : refused) {
            const ToolResult run = Guarded(std::string(command) + " " + Quoted(r.path));
            EXPECT_EQ(run.exitCode, 1) << command << " " << r.path << "\n" << run.output;
            EXPECT_NE(run.output.find(r.reason), std::string::npos) << command << " " << r.path << "\n" << run.output;
        }
    }

    // A folder stands for its recordings and logs.
    const ToolResult shown = Guarded("show " + Quoted(folder));
    EXPECT_EQ(shown.exitCode, 0) << shown.output;
    EXPECT_NE(shown.output.find("trip.avi: "), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("drive.gps: GPS log"), std::string::npos) << shown.output;
    const ToolResult checked = Guarded("check " + Quoted(folder));
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("trip.avi: sound recording\n"), std::string::npos) << checked.output;
    EXPECT_NE(checked.output.find("drive.gps: sound GPS log\n"), std::string::npos) << checked.output;
}

TEST_F(InfoHostileInputTest, AFolderExportSkipsEmptyRecordingsWithANote)
{
    const std::string folder = TripFolder();
    WriteBytes(folder + "/crash.avi", {});
    WriteRecording("silent.avi", 10, {}, {});
    const ToolResult run = Guarded("export --format csv " + Quoted(folder));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("note: " + folder + "/crash.avi: empty (0 bytes), skipped"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("note: " + folder + "/silent.avi: no GPS records"), std::string::npos) << run.output;
    for (const char* time : {"07:58:50Z,48.2999992", "07:59:01Z,48.0999985", "07:59:02Z,48.2000008"}) {
        EXPECT_NE(run.output.find(time), std::string::npos) << time << "\n" << run.output;
    }

    const std::string onlyEmpty = root_ + "/power-loss";
    std::filesystem::create_directory(onlyEmpty);
    WriteBytes(onlyEmpty + "/cut.avi", {});
    const ToolResult nothing = Guarded("export --format gpx " + Quoted(onlyEmpty));
    EXPECT_EQ(nothing.exitCode, 1) << nothing.output;
    EXPECT_NE(nothing.output.find("cut.avi: empty (0 bytes), skipped"), std::string::npos) << nothing.output;
    EXPECT_NE(nothing.output.find("nothing to export"), std::string::npos) << nothing.output;
}

TEST_F(InfoHostileInputTest, ExportNeverOverwritesAnInputAndFailedWritesAreErrors)
{
    const std::string folder = TripFolder();
    const std::string recording = folder + "/trip.avi";
    const std::string before = FileText(recording);
    const std::string logBefore = FileText(folder + "/drive.gps");
    const std::string linked = root_ + "/linked.avi";
    const std::string symlinked = root_ + "/symlinked.avi";
    ASSERT_EQ(::link(recording.c_str(), linked.c_str()), 0);
    ASSERT_EQ(::symlink(recording.c_str(), symlinked.c_str()), 0);
    const struct {
        std::string output;
        std::string inputs;
    } overwrites[] = {
        {recording, Quoted(recording)},
        {folder + "/drive.gps", Quoted(folder)},
        {linked, Quoted(recording)},
        {symlinked, Quoted(folder)},
        {recording, Quoted(symlinked)},
    };
    for (const auto& o : overwrites) {
        const ToolResult run = Guarded("export --format gpx --output " + Quoted(o.output) + " " + o.inputs);
        EXPECT_EQ(run.exitCode, 1) << o.output << "\n" << run.output;
        EXPECT_NE(run.output.find("is one of the files read; not overwritten"), std::string::npos) << run.output;
    }
    EXPECT_TRUE(FileText(recording) == before) << "the recording changed";
    EXPECT_TRUE(FileText(folder + "/drive.gps") == logBefore) << "the log changed";

    // An output that cannot be written is an error, and an earlier export stays whole.
    const std::string kept = root_ + "/kept.csv";
    ASSERT_EQ(Guarded("export --format csv --output " + Quoted(kept) + " " + Quoted(folder)).exitCode, 0);
    const std::string exported = FileText(kept);
    ASSERT_NE(exported.find("48.2999992"), std::string::npos) << exported;
    const struct {
        std::string command;
        std::string output;
        const char* reason;
    } failing[] = {
        {"show " + Quoted(folder), "/dev/full", "standard output: cannot write: No space left on device"},
        {"show --json " + Quoted(recording), "/dev/full", "standard output: cannot write: No space left on device"},
        {"check " + Quoted(folder), "/dev/full", "standard output: cannot write: No space left on device"},
        {"export --format kml " + Quoted(folder), "/dev/full", "standard output: cannot write: No space left on device"},
        {"export --format csv --output /dev/full " + Quoted(folder), "", "/dev/full: cannot write: No space left on device"},
        {"export --format csv --output " + Quoted(root_ + "/no/such/out.csv") + " " + Quoted(folder), "",
         "out.csv: cannot create: No such file or directory"},
        {"export --format csv --output " + Quoted(kept) + " " + Quoted(folder) + " " + Quoted(root_ + "/missing.gps"),
         "", "missing.gps: cannot open: No such file or directory"},
    };
    for (const auto& f : failing) {
        const ToolResult run = Guarded(f.command, f.output);
        EXPECT_EQ(run.exitCode, 1) << f.command << "\n" << run.output;
        EXPECT_NE(run.output.find(f.reason), std::string::npos) << f.command << "\n" << run.output;
    }
    EXPECT_EQ(FileText(kept), exported);
    EXPECT_EQ(FileText(recording), before);

    // An output named through a link replaces the file linked to, and the link stays.
    const std::string link = root_ + "/latest.csv";
    ASSERT_EQ(::symlink(kept.c_str(), link.c_str()), 0);
    const ToolResult relinked = Guarded("export --format csv --output " + Quoted(link) + " " + Quoted(recording));
    EXPECT_EQ(relinked.exitCode, 0) << relinked.output;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(FileText(kept).find("48.2999992"), std::string::npos) << FileText(kept);
    EXPECT_NE(FileText(kept).find("48.2000008"), std::string::npos) << FileText(kept);
}

}  // namespace
}  // namespace testing_support
