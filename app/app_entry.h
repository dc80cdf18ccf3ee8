// The program's run: the four long-lived holders around the modal dialog.
#pragma once

#include <windows.h>

// Runs the main dialog modally and releases the holders in the order
// display, worker, sound service, timer-resolution guard. Returns the
// dialog's result: 0 after a normal end, -1 when the dialog failed.
int RunTocklet(HINSTANCE instance);
