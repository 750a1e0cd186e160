// Message boxes answered from the simulator's queue or by their default button.
#include "platform/windows/message_box.h"

#include <algorithm>
#include <deque>
#include <mutex>

#include "platform/base/trace.h"

namespace os {
namespace {

std::mutex g_messageBoxMutex;
std::deque<int> g_answers;
std::vector<sim::MessageBoxRecord> g_messageBoxHistory;

// The buttons of each MB_ type, left to right.
std::vector<int> ButtonsOf(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return {IDOK};
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {};
    }
}

// A default button past the last one falls back to the first, as on the phone.
int DefaultButton(UINT type, const std::vector<int>& buttons)
{
    const std::size_t index = (type & MB_DEFMASK) >> 8;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

// Takes the queued answer if there is one; false when the queue is empty.
bool TakeQueuedAnswer(int* answer)
{
    std::lock_guard<std::mutex> lock(g_messageBoxMutex);
    if (g_answers.empty())
        return false;
    *answer = g_answers.front();
    g_answers.pop_front();
    return true;
}

}  // namespace

int MessageBoxW(HWND owner, const char* text, const char* caption, UINT type)
{
    const std::vector<int> buttons = ButtonsOf(type);
    if (buttons.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    sim::MessageBoxRecord record;
    record.owner = owner;
    record.caption = caption != nullptr ? caption : "";
    record.text = text != nullptr ? text : "";
    record.type = type;
    int queued = 0;
    if (TakeQueuedAnswer(&queued)) {
        if (std::find(buttons.begin(), buttons.end(), queued) != buttons.end()) {
            record.answer = queued;
            record.answerQueued = true;
        } else {
            PlatformLog("MessageBoxW: queued answer %d is not a button of type 0x%x; default taken", queued, type);
        }
    }
    if (!record.answerQueued)
        record.answer = DefaultButton(type, buttons);
    PlatformLog("MessageBoxW caption=\"%s\" text=\"%s\" type=0x%x answer=%d%s", Escaped(record.caption).c_str(),
                Escaped(record.text).c_str(), type, record.answer, record.answerQueued ? "" : " (default)");
    const int answer = record.answer;
    std::lock_guard<std::mutex> lock(g_messageBoxMutex);
    g_messageBoxHistory.push_back(std::move(record));
    return answer;
}

void sim::QueueMessageBoxAnswer(int answer)
{
    std::lock_guard<std::mutex> lock(g_messageBoxMutex);
    g_answers.push_back(answer);
}

void sim::ClearMessageBoxAnswers()
{
    std::lock_guard<std::mutex> lock(g_messageBoxMutex);
    g_answers.clear();
}

std::vector<sim::MessageBoxRecord> sim::MessageBoxHistory()
{
    std::lock_guard<std::mutex> lock(g_messageBoxMutex);
    return g_messageBoxHistory;
}

void sim::ClearMessageBoxHistory()
{
    std::lock_guard<std::mutex> lock(g_messageBoxMutex);
    g_messageBoxHistory.clear();
}

}  // namespace os
