#include "storage/event_filing.h"

#include <algorithm>
#include <cstring>

#include "app/app_state.h"
#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "platform/kernel/sync.h"
#include "storage/path_text.h"
#include "storage/space_state.h"

namespace {

class MoveLock {
public:
    explicit MoveLock(SpaceState* space) : space_(space) { os::EnterCriticalSection(&space_->moveLock); }
    ~MoveLock() { os::LeaveCriticalSection(&space_->moveLock); }
    MoveLock(const MoveLock&) = delete;
    MoveLock& operator=(const MoveLock&) = delete;

private:
    SpaceState* space_;
};

bool Exists(const std::string& path) { return os::GetFileAttributesW(path.c_str()) != os::INVALID_FILE_ATTRIBUTES; }

bool SamePath(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

// Marks every waiting record as this drain's.
unsigned ClaimWaiting(SpaceState* space)
{
    MoveLock lock(space);
    if (++space->lastClaim == 0) ++space->lastClaim;  // 0 marks a waiting record
    const unsigned claim = space->lastClaim;
    for (MoveRecord& record : space->moves) {
        if (record.claim == 0) record.claim = claim;
    }
    return claim;
}

bool NextClaimed(SpaceState* space, unsigned claim, std::list<MoveRecord>::iterator* at, MoveRecord* copy)
{
    MoveLock lock(space);
    const auto it = std::find_if(space->moves.begin(), space->moves.end(),
                                 [claim](const MoveRecord& r) { return r.claim == claim; });
    if (it == space->moves.end()) return false;
    *at = it;
    *copy = *it;
    return true;
}

// After the move: done, gone, queued again for a later wake-up, or kept in place for good.
void Settle(SpaceState* space, std::list<MoveRecord>::iterator at, const MoveRecord& tried, bool moved,
            os::DWORD error)
{
    const bool sourceGone = !moved && !Exists(tried.source);
    MoveLock lock(space);
    if (moved || sourceGone) {
        space->moves.erase(at);
        return;
    }
    ++at->failures;
    at->claim = 0;
    if (at->failures < kMoveAttempts) {
        os::Trace("Event clip not filed yet (%s, error %u): tried again later", at->source.c_str(), error);
        return;
    }
    os::Trace("Event clip not filed after %d attempts (error %u): kept in place, never deleted: %s", at->failures,
              error, at->source.c_str());
    space->kept.push_back(at->source);
    space->moves.erase(at);
}

void FillBlock(ClipEventBlock* block, const EvtTagRecord* records, int count, std::string_view folder,
               std::string_view name)
{
    block->count = std::clamp(count, 0, kClipEventRecords);
    if (block->count > 0) std::memcpy(block->records, records, sizeof(EvtTagRecord) * block->count);
    block->folder.Assign(folder);
    block->name.Assign(name);
}

}  // namespace

void InitSpaceState(SpaceState* space) { os::InitializeCriticalSection(&space->moveLock); }

void DeleteSpaceState(SpaceState* space) { os::DeleteCriticalSection(&space->moveLock); }

int QueueEventMove(os::HWND hwnd, const std::string& source, const std::string& destination)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || source.empty() || destination.empty()) return 0;
    SpaceState& space = app->space;
    MoveLock lock(&space);
    const bool queued = std::any_of(space.moves.begin(), space.moves.end(),
                                    [&](const MoveRecord& r) { return SamePath(r.source, source); });
    if (!queued) space.moves.push_back(MoveRecord{source, destination, 0, 0});
    return 1;
}

int FileEventClip(os::HWND hwnd, std::string_view folder, std::string_view name)
{
    const std::string source = JoinPath(folder, name);
    if (name.empty() || !Exists(source)) return 0;
    const std::string eventFolder = JoinPath(folder, "Event");
    os::CreateDirectoryW((eventFolder + "\\").c_str(), nullptr);
    return QueueEventMove(hwnd, source, JoinPath(eventFolder, name));
}

int RunQueuedEventMoves(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    SpaceState* space = &app->space;
    const unsigned claim = ClaimWaiting(space);
    std::list<MoveRecord>::iterator at;
    MoveRecord record;
    while (NextClaimed(space, claim, &at, &record)) {
        const bool moved = os::MoveFileW(record.source.c_str(), record.destination.c_str()) != 0;
        Settle(space, at, record, moved, moved ? 0 : os::GetLastError());
    }
    return 1;
}

bool IsClipKept(SpaceState* space, std::string_view path)
{
    MoveLock lock(space);
    if (SamePath(space->openClip, path)) return true;
    for (const MoveRecord& r : space->moves) {
        if (SamePath(r.source, path)) return true;
    }
    return std::any_of(space->kept.begin(), space->kept.end(), [&](const std::string& k) { return SamePath(k, path); });
}

void SetOpenClip(SpaceState* space, std::string_view path)
{
    MoveLock lock(space);
    space->openClip.assign(path);
}

AdjacentFilings RecordClosedClip(SpaceState* space, const EvtTagRecord* records, int count, std::string_view folder,
                                 std::string_view name, unsigned splitTimeSec)
{
    space->olderClip = space->newerClip;
    FillBlock(&space->newerClip, records, count, folder, name);
    const ClipEventBlock& older = space->olderClip;
    const ClipEventBlock& newer = space->newerClip;
    AdjacentFilings filings;
    filings.older = newer.count > 0 && newer.records[0].elapsedSec < kEventLeadInSec && !older.name.View().empty();
    // The older clip's last event is the one nearest to the clip that follows it.
    filings.newer = older.count > 0 && static_cast<long long>(older.records[older.count - 1].elapsedSec) >=
                                           static_cast<long long>(splitTimeSec) - kEventRunOutSec;
    return filings;
}

void ForgetClosedClips(SpaceState* space)
{
    space->olderClip.count = space->newerClip.count = 0;
    space->olderClip.name.Assign("");
    space->newerClip.name.Assign("");
    space->olderClip.folder.Assign("");
    space->newerClip.folder.Assign("");
}
