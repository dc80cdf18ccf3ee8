// The cheapest Win32 program that shows what Tocklet's display shows: a 48 px
// bold "HH:MM:SS mmm" counting 30 minutes down, redrawn each time a second
// thread posts, about every 24 ms. The yardstick of bench/cost/run.
// Idle until a key press or a click in its window starts the count.
//
// Cheap because: the window owns its device context (no GetDC/ReleaseDC per
// frame) with the font selected once, and one ExtTextOutA with ETO_OPAQUE
// paints background and glyphs of the text cell straight to the window: no
// invalidation, no WM_PAINT round trip, no off-screen copy.
#include <windows.h>

namespace {

constexpr UINT kTick = WM_APP;
constexpr DWORD kPollMs = 24;
constexpr DWORD kIntervalMs = 30 * 60 * 1000;

HWND g_window = nullptr;
HDC g_dc = nullptr;
RECT g_cell = {};
DWORD g_start = 0;
bool g_counting = false;

DWORD WINAPI Poster(void*) {
    for (;;) {
        Sleep(kPollMs);
        PostMessageA(g_window, kTick, 0, 0);
    }
}

void Show() {
    DWORD left = kIntervalMs;
    if (g_counting) {
        const DWORD elapsed = GetTickCount() - g_start;
        left = elapsed < kIntervalMs ? kIntervalMs - elapsed : 0;
    }
    char text[16];
    const int length = wsprintfA(text, "%02u:%02u:%02u %03u", left / 3600000, left / 60000 % 60,
                                 left / 1000 % 60, left % 1000);
    ExtTextOutA(g_dc, 0, 0, ETO_OPAQUE, &g_cell, text, length, nullptr);
}

void StartCounting() {
    if (g_counting) return;
    g_counting = true;
    g_start = GetTickCount();
    HANDLE thread = CreateThread(nullptr, 0, Poster, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kTick:
            Show();
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            Show();
            EndPaint(window, &paint);
            return 0;
        }
        case WM_KEYDOWN:
        case WM_LBUTTONDOWN:
            StartCounting();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = "TockletCostReference";
    if (RegisterClassA(&windowClass) == 0) return 1;

    g_window =
        CreateWindowA(windowClass.lpszClassName, "Tocklet cost reference", WS_OVERLAPPEDWINDOW,
                      CW_USEDEFAULT, CW_USEDEFAULT, 420, 160, nullptr, nullptr, instance, nullptr);
    if (g_window == nullptr) return 1;
    g_dc = GetDC(g_window);  // the window's own: kept for its whole life
    // The face the prefix maps to the display's Japanese Gothic.
    SelectObject(g_dc, CreateFontA(48, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_DONTCARE, "MS Gothic"));
    SIZE size = {};
    GetTextExtentPoint32A(g_dc, "00:00:00 000", 12, &size);
    SetRect(&g_cell, 0, 0, size.cx, size.cy);

    ShowWindow(g_window, show);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
