#include "recorder/cut_recordings.h"

#include <vector>

#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "platform/kernel/sync.h"
#include "recorder/salvage/avi_repair.h"
#include "storage/event_filing.h"

namespace {

bool ReadAt(os::HANDLE file, std::uint64_t offset, void* into, std::size_t n)
{
    if (!os::SetFilePointerEx(file, static_cast<os::LONGLONG>(offset), nullptr, os::FILE_BEGIN)) return false;
    os::DWORD got = 0;
    return os::ReadFile(file, into, static_cast<os::DWORD>(n), &got, nullptr) && got == n;
}

bool ReadJournal(const std::string& path, JournalContent* out)
{
    const os::HANDLE file = os::CreateFileW(path.c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                            os::OPEN_EXISTING, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) return false;
    os::LONGLONG size = 0;
    std::vector<std::uint8_t> bytes;
    bool ok = os::GetFileSizeEx(file, &size) && static_cast<std::uint64_t>(size) <= kJournalMaxBytes;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size));
        ok = bytes.empty() || ReadAt(file, 0, bytes.data(), bytes.size());
    }
    os::CloseHandle(file);
    std::string why;
    if (ok && !ParseJournal(bytes.data(), bytes.size(), out, &why)) {
        os::Trace("RepairCutRecordings: journal %s ignored: %s\n", path.c_str(), why.c_str());
        return false;
    }
    return ok;
}

// The repaired file beside the recording, then in its place.
bool WriteRepaired(const std::string& path, const AviRepairSource& source, const AviRepairPlan& plan)
{
    const std::string temporary = path + ".rep";
    const os::HANDLE out = os::CreateFileW(temporary.c_str(), os::GENERIC_WRITE, 0, nullptr, os::CREATE_ALWAYS,
                                           os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == os::INVALID_HANDLE_VALUE) {
        os::Trace("RepairCutRecordings: cannot create %s (%lu)\n", temporary.c_str(),
                  static_cast<unsigned long>(os::GetLastError()));
        return false;
    }
    std::string why;
    const bool written = WriteAviRepair(
        source, plan,
        [out](const void* data, std::size_t n) {
            os::DWORD done = 0;
            return os::WriteFile(out, data, static_cast<os::DWORD>(n), &done, nullptr) && done == n;
        },
        &why);
    const bool durable = written && os::FlushFileBuffers(out);
    os::CloseHandle(out);
    if (!durable) {
        os::Trace("RepairCutRecordings: %s not repaired: %s\n", path.c_str(), why.empty() ? "flush failed" : why.c_str());
        os::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

// 1 when repaired.
int RepairOne(os::HWND hwnd, const std::string& folder, const std::string& journalName)
{
    const std::string journalPath = folder + "\\" + journalName;
    const std::string name = journalName.substr(0, journalName.size() - 3) + "avi";
    const std::string path = folder + "\\" + name;
    JournalContent journal;
    const bool hasJournal = ReadJournal(journalPath, &journal);
    const os::HANDLE file = os::CreateFileW(path.c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                            os::OPEN_EXISTING, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == os::INVALID_HANDLE_VALUE && os::MoveFileW((path + ".rep").c_str(), path.c_str())) {
        os::Trace("RepairCutRecordings: %s: an interrupted repair finished\n", path.c_str());
        os::DeleteFileW(journalPath.c_str());
        return 1;
    }
    if (file == os::INVALID_HANDLE_VALUE) {
        os::Trace("RepairCutRecordings: %s has no recording, deleted\n", journalPath.c_str());
        os::DeleteFileW(journalPath.c_str());
        return 0;
    }
    os::LONGLONG size = 0;
    os::GetFileSizeEx(file, &size);
    AviRepairSource source;
    source.size = static_cast<std::uint64_t>(size);
    source.read = [file](std::uint64_t offset, void* into, std::size_t n) { return ReadAt(file, offset, into, n); };
    const AviRepairPlan plan = PlanAviRepair(source, hasJournal ? &journal : nullptr);
    // A recording cut before its first picture was durable has nothing to play.
    const bool empty = plan.verdict == AviRepairVerdict::Repairable &&
                       (plan.chunks.empty() || (plan.hasVideo && plan.videoChunks == 0));
    bool replaced = false;
    if (plan.verdict == AviRepairVerdict::Repairable && !empty) replaced = WriteRepaired(path, source, plan);
    os::CloseHandle(file);
    int repaired = 0;
    if (plan.verdict == AviRepairVerdict::Sound) {
        os::Trace("RepairCutRecordings: %s is sound\n", path.c_str());
    } else if (empty) {
        os::Trace("RepairCutRecordings: %s holds no picture: deleted\n", path.c_str());
        os::DeleteFileW(path.c_str());
    } else if (plan.verdict == AviRepairVerdict::Refused && plan.noHeader) {
        os::Trace("RepairCutRecordings: %s holds nothing that plays (%s): deleted\n", path.c_str(), plan.why.c_str());
        os::DeleteFileW(path.c_str());
    } else if (plan.verdict == AviRepairVerdict::Refused) {
        // Pictures it cannot rebuild are still the user's: it stays as it is.
        os::Trace("RepairCutRecordings: %s cannot be repaired (%s): left as it is\n", path.c_str(), plan.why.c_str());
    } else if (replaced && os::DeleteFileW(path.c_str()) && os::MoveFileW((path + ".rep").c_str(), path.c_str())) {
        os::Trace("RepairCutRecordings: %s repaired, %u frames, %zu GPS records, %zu events\n", path.c_str(),
                  static_cast<unsigned>(plan.videoChunks), journal.gps.size(), journal.events.size());
        repaired = 1;
        if (plan.eventTagged) FileEventClip(hwnd, folder, name);
    } else {
        // The journal stays for the next start.
        return 0;
    }
    os::DeleteFileW(journalPath.c_str());
    return repaired;
}

int RepairBelow(os::HWND hwnd, const std::string& folder, int depth)
{
    std::vector<std::string> folders;
    std::vector<std::string> journals;
    os::WIN32_FIND_DATAW data;
    const os::HANDLE search = os::FindFirstFileW((folder + "\\*").c_str(), &data);
    if (search == os::INVALID_HANDLE_VALUE) return 0;
    do {
        const std::string& n = data.cFileName;
        if (n == "." || n == "..") continue;
        if (data.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY) {
            folders.push_back(n);
        } else if (n.size() > 4 && (n.ends_with(".jnl") || n.ends_with(".JNL"))) {
            journals.push_back(n);
        }
    } while (os::FindNextFileW(search, &data));
    os::FindClose(search);
    int repaired = 0;
    for (const std::string& j : journals) repaired += RepairOne(hwnd, folder, j);
    // Day, time and "Event" folders: the layout is three deep.
    if (depth < 3) {
        for (const std::string& f : folders) repaired += RepairBelow(hwnd, folder + "\\" + f, depth + 1);
    }
    return repaired;
}

}  // namespace

int RepairCutRecordings(os::HWND hwnd, const std::string& recordingRoot)
{
    const int repaired = RepairBelow(hwnd, recordingRoot, 0);
    // The event clips among them are filed now, before anything records.
    RunQueuedEventMoves(hwnd);
    os::Trace("RepairCutRecordings: %d recording(s) repaired\n", repaired);
    return repaired;
}
