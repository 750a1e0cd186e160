// "kestrava-info repair": each recording cut by a power loss made sound
// again in place (recorder/salvage/avi_repair.h), its journal consumed.
#include <cstdio>
#include <vector>

#include "recorder/salvage/avi_repair.h"
#include "tools/host_file.h"
#include "tools/info_command.h"

namespace kinfo {
namespace {

constexpr const char* kRepairUsage =
    "usage: kestrava-info repair FILE...\n"
    "\n"
    "Makes recordings cut short by a power loss sound: the chunks up to the\n"
    "last complete one are kept, the sizes and counts fixed, the index rebuilt\n"
    "from the chunks present, and the GPS track, event tags and summary taken\n"
    "from the recording's journal (the \".jnl\" file beside it) where there is\n"
    "one. The repaired file is written beside the original and replaces it\n"
    "only once complete; the journal is then deleted. A sound file is left as\n"
    "it is. Exit code 0 when every file is sound or repaired, 1 otherwise.\n";

// True with the journal read; false when there is none or it cannot be
// used, *note then saying why for a journal that is there.
bool ReadJournal(const std::string& path, JournalContent* out, std::string* note)
{
    FileIdentity identity;
    if (!IdentityOf(path, &identity)) return false;
    HostFile file;
    std::string error;
    if (!file.Open(path, &error)) {
        *note = "journal " + path + " not read: " + error;
        return false;
    }
    if (file.Size() > kJournalMaxBytes) {
        *note = "journal " + path + " ignored: too large to be a recording's";
        return false;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    if (!bytes.empty() && !file.Read(0, bytes.data(), bytes.size())) {
        *note = "journal " + path + " not read: " + file.Error();
        return false;
    }
    if (!ParseJournal(bytes.data(), bytes.size(), out, &error)) {
        *note = "journal " + path + " ignored: " + error;
        return false;
    }
    return true;
}

int RepairOne(const std::string& path, std::ostream& out)
{
    HostFile host;
    std::string error;
    if (!host.Open(path, &error)) {
        out << path << ": " << error << "\n";
        return 0;
    }
    const std::string journalPath = JournalPathFor(path);
    JournalContent journal;
    std::string note;
    const bool hasJournal = ReadJournal(journalPath, &journal, &note);
    if (!note.empty()) out << path << ": " << note << "\n";
    AviRepairSource source;
    source.size = host.Size();
    source.read = [&host](std::uint64_t offset, void* into, std::size_t n) { return host.Read(offset, into, n) == 1; };
    const AviRepairPlan plan = PlanAviRepair(source, hasJournal ? &journal : nullptr);
    if (plan.verdict == AviRepairVerdict::Sound) {
        out << path << ": sound, left as it is\n";
        return 1;
    }
    if (plan.verdict == AviRepairVerdict::Refused) {
        out << path << ": cannot be repaired: " << plan.why << "\n";
        return 0;
    }
    std::string why;
    bool written = false;
    const int done = WriteHostFile(
        path,
        [&](std::ostream& file) {
            written = WriteAviRepair(
                source, plan,
                [&file](const void* data, std::size_t n) {
                    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
                    return static_cast<bool>(file);
                },
                &why);
            // A failed repair must not replace the original.
            if (!written) file.setstate(std::ios::badbit);
        },
        &error);
    if (!done || !written) {
        out << path << ": repair failed, the file is unchanged: " << (why.empty() ? error : why) << "\n";
        return 0;
    }
    out << path << ": repaired: " << plan.chunks.size() << " chunks kept (" << plan.videoChunks << " video frames), "
        << plan.droppedBytes << " bytes dropped";
    if (hasJournal) {
        out << "; GPS track, event tags and summary from " << journalPath;
        if (std::remove(journalPath.c_str()) != 0) out << " (which could not be deleted)";
    }
    out << "\n";
    return 1;
}

}  // namespace

int RunRepair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> files;
    if (const int done = FileArguments(args, "repair", kRepairUsage, out, err, &files); done >= 0) return done;
    int result = 0;
    for (const std::string& path : files) {
        if (!RepairOne(path, out)) result = 1;
    }
    return result;
}

}  // namespace kinfo
