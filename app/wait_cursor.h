// The hourglass cursor, shown once and removed once however often asked.
#pragma once

void ShowWaitCursor();
void HideWaitCursor();
