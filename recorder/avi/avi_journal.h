// The journal file beside the open recording (format: recorder/salvage/
// recording_journal.h), written through the platform's file calls. A
// journal that cannot be made or written is given up with a trace line:
// the recording goes on without it.
#pragma once

#include <string>

#include "platform/files/file.h"
#include "recorder/salvage/recording_journal.h"

struct AviJournal {
    os::HANDLE handle = os::INVALID_HANDLE_VALUE;
    std::string path;
};

// Creates (or replaces) the journal of the recording at `recordingPath`,
// before the recording itself, so that no recording is ever without one.
// Quiet: the writer says it when the recording opened and the journal did not.
void AviJournalOpen(AviJournal* journal, const std::string& recordingPath);
bool AviJournalIsOpen(const AviJournal& journal);
void AviJournalAppend(AviJournal* journal, const JournalBytes& record);
void AviJournalMakeDurable(AviJournal* journal);
// Closes it; `remove`: and deletes it, the recording being whole.
void AviJournalClose(AviJournal* journal, bool remove);
