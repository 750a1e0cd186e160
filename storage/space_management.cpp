#include "storage/space_management.h"

#include "platform/base/trace.h"

int UpdateUsableSpaceSetting(os::HWND)
{
    // Will set the usable total from the quota or the volume's free space.
    os::Trace("UpdateUsableSpaceSetting: space management not built yet");
    return 0;
}

int RefreshMemoryVars(os::HWND)
{
    // Will scan the recording tree and recount the protected and free bytes.
    os::Trace("RefreshMemoryVars: space management not built yet");
    return 0;
}

int DeleteOldRecordings(os::HWND)
{
    // Will delete the oldest ordinary clips until the delete level is met.
    os::Trace("DeleteOldRecordings: space management not built yet");
    return 0;
}

int RunQueuedEventMoves(os::HWND)
{
    // Will move the queued event clips into their "Event" folders.
    os::Trace("RunQueuedEventMoves: space management not built yet");
    return 0;
}

int QueueEventMove(os::HWND, const std::string& source, const std::string& destination)
{
    // Will queue the move for the storage maintenance thread.
    os::Trace("QueueEventMove(%s, %s): space management not built yet", source.c_str(), destination.c_str());
    return 0;
}

void StorageMaintenanceWork(os::HWND hwnd)
{
    RunQueuedEventMoves(hwnd);
    DeleteOldRecordings(hwnd);
}

int UpdateTarvoMemoryVar(os::HWND, uint64_t, int)
{
    // Will add the clip to the event and clip totals.
    os::Trace("UpdateTarvoMemoryVar: space management not built yet");
    return 0;
}
