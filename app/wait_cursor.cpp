#include "app/wait_cursor.h"

#include "app/app_state.h"
#include "platform/shell/shell.h"

void ShowWaitCursor()
{
    if (g_waitCursorShown) return;
    os::SetCursor(os::LoadCursorW(nullptr, os::IDC_WAIT));
    g_waitCursorShown = true;
}

void HideWaitCursor()
{
    if (!g_waitCursorShown) return;
    os::SetCursor(nullptr);
    g_waitCursorShown = false;
}
