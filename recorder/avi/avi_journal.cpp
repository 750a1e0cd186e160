#include "recorder/avi/avi_journal.h"

#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "platform/kernel/sync.h"

namespace {

void GiveUp(AviJournal* journal, const char* what)
{
    os::Trace("AVI journal %s: %s failed (%lu), the recording goes on without it\n", journal->path.c_str(), what,
              static_cast<unsigned long>(os::GetLastError()));
    os::CloseHandle(journal->handle);
    journal->handle = os::INVALID_HANDLE_VALUE;
}

}  // namespace

void AviJournalOpen(AviJournal* journal, const std::string& recordingPath)
{
    const std::string path = JournalPathFor(recordingPath);
    journal->handle = os::CreateFileW(path.c_str(), os::GENERIC_WRITE, os::FILE_SHARE_READ, nullptr,
                                      os::CREATE_ALWAYS, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (journal->handle == os::INVALID_HANDLE_VALUE) return;
    journal->path = path;
    AviJournalAppend(journal, JournalHeader());
}

bool AviJournalIsOpen(const AviJournal& journal) { return journal.handle != os::INVALID_HANDLE_VALUE; }

void AviJournalAppend(AviJournal* journal, const JournalBytes& record)
{
    if (journal->handle == os::INVALID_HANDLE_VALUE) return;
    os::DWORD written = 0;
    if (!os::WriteFile(journal->handle, record.data(), static_cast<os::DWORD>(record.size()), &written, nullptr)) {
        GiveUp(journal, "a write");
    }
}

void AviJournalMakeDurable(AviJournal* journal)
{
    if (journal->handle != os::INVALID_HANDLE_VALUE && !os::FlushFileBuffers(journal->handle)) {
        GiveUp(journal, "a flush");
    }
}

void AviJournalClose(AviJournal* journal, bool remove)
{
    if (journal->handle != os::INVALID_HANDLE_VALUE) os::CloseHandle(journal->handle);
    journal->handle = os::INVALID_HANDLE_VALUE;
    if (remove && !journal->path.empty() && !os::DeleteFileW(journal->path.c_str()) &&
        os::GetLastError() != static_cast<os::DWORD>(os::ERROR_FILE_NOT_FOUND)) {
        os::Trace("AVI journal %s: cannot delete it (%lu)\n", journal->path.c_str(),
                  static_cast<unsigned long>(os::GetLastError()));
    }
    journal->path.clear();
}
