// Message boxes. Nobody sits at the simulated handset, so a message box does
// not wait for a hand: its answer is the next one the simulator queued, or
// else its default button. Every box is written to the platform log
// ("MessageBoxW caption=... text=... answer=...", line breaks of the text
// shown as \n) and kept in a list that the simulator and tests read.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"

namespace os {

// Buttons.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_TYPEMASK = 0x0000000F;
// Icons.
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
// Default button.
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFMASK = 0x00000F00;
// Modality and placement.
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Returns the answer, or 0 with ERROR_INVALID_PARAMETER for an unknown
// button set. Owner and caption may be null.
int MessageBoxW(HWND owner, const char* text, const char* caption, UINT type);

}  // namespace os

// ---- Simulator side.
namespace os::sim {

// The answer of the next message box. An answer that is not one of the
// box's buttons is logged as refused and the default button is taken.
void QueueMessageBoxAnswer(int answer);
void ClearMessageBoxAnswers();

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    UINT type = 0;
    int answer = 0;
    bool answerQueued = false;  // false: the default button was taken
};

std::vector<MessageBoxRecord> MessageBoxHistory();
void ClearMessageBoxHistory();

}  // namespace os::sim
