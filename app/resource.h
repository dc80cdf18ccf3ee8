// Identifiers of the main dialog, its controls and its private messages.
// Plain #defines: the resource compiler reads this header too.
#pragma once

#define IDD_MAIN 101

#define IDC_QUIT 1001
#define IDC_START 1002
#define IDC_STOP 1003
#define IDC_HOUR 1004
#define IDC_MINUTE 1005
#define IDC_SECOND 1006
#define IDC_MSEC 1007
#define IDC_COUNT 1008
#define IDC_SOUND 1009
#define IDC_BROWSE 1010
#define IDC_DISPLAY 1011

// Posted to the dialog (WM_USER + n); wParam and lParam are not read.
#define WM_TC_CLOSE (0x0400 + 1)
#define WM_TC_FINISH (0x0400 + 2)
#define WM_TC_REDRAW (0x0400 + 3)
