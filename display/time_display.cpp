#include "display/time_display.h"

#include <cstdio>

#include "app/resource.h"
#include "base/sys_string.h"

namespace {

constexpr int kFontHeight = 48;
// Code page 932 text: full-width M and S, an ASCII space, then the katakana.
constexpr char kFontFace[] = "ＭＳ ゴシック";
constexpr COLORREF kTextColour = RGB(0, 0, 0);

HFONT CreateDisplayFont() {
    // "W": an "A" face name is read in the system code page.
    return CreateFontW(kFontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, Cp932ToWide(kFontFace).c_str());
}

}  // namespace

int FormatTimeText(const TimeCount& time, char* buffer, std::size_t size) {
    const int n = std::snprintf(buffer, size, "%02d:%02d:%02d %03d", time.hour, time.minute,
                                time.second, time.millisecond);
    if (n < 0) return 0;
    const int room = static_cast<int>(size) - 1;
    return n < room ? n : room;
}

CTimeDisplay::CTimeDisplay(HWND dialog)
    : m_dialog(dialog), m_display(GetDlgItem(dialog, IDC_DISPLAY)), m_font(CreateDisplayFont()) {
    // Without the control there is nothing to copy to, and a null window
    // would make GetDC hand back the whole screen: build no surface then.
    if (m_display == nullptr) return;
    RECT client = {};
    GetClientRect(m_display, &client);
    CreateSurface(client.right, client.bottom);
}

CTimeDisplay::~CTimeDisplay() {
    ReleaseSurface();
    if (m_font != nullptr) DeleteObject(m_font);
}

int CTimeDisplay::CreateSurface(int32_t width, int32_t height) {
    ReleaseSurface();  // a second call must not leak the first surface
    if (width <= 0 || height <= 0) return 0;

    HDC windowDC = GetDC(m_dialog);
    m_memoryDC = CreateCompatibleDC(windowDC);
    if (m_memoryDC == nullptr) {
        ReleaseDC(m_dialog, windowDC);
        return 0;
    }
    // Compatible with the window's DC, not the memory DC: a fresh memory DC
    // holds a one-bit bitmap.
    m_bitmap = CreateCompatibleBitmap(windowDC, width, height);
    ReleaseDC(m_dialog, windowDC);
    if (m_bitmap == nullptr) return 0;

    if (m_font != nullptr) m_previousFont = SelectObject(m_memoryDC, m_font);
    m_previousBitmap = SelectObject(m_memoryDC, m_bitmap);
    SetTextColor(m_memoryDC, kTextColour);
    SetBkMode(m_memoryDC, TRANSPARENT);
    m_width = width;
    m_height = height;
    return 1;
}

int CTimeDisplay::Draw() {
    if (m_memoryDC == nullptr || m_bitmap == nullptr) return 0;

    RECT whole;
    SetRect(&whole, 0, 0, m_width, m_height);
    FillRect(m_memoryDC, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    char text[kTimeTextSize];
    const int length = FormatTimeText(Snapshot(g_remain), text, sizeof text);
    TextOutA(m_memoryDC, 0, 0, text, length);

    HDC displayDC = GetDC(m_display);
    if (displayDC != nullptr) {
        BitBlt(displayDC, 0, 0, m_width, m_height, m_memoryDC, 0, 0, SRCCOPY);
        ReleaseDC(m_display, displayDC);
    }
    return 1;
}

int CTimeDisplay::ReleaseSurface() {
    if (m_memoryDC == nullptr) return 1;
    if (m_previousBitmap != nullptr) SelectObject(m_memoryDC, m_previousBitmap);
    if (m_previousFont != nullptr) SelectObject(m_memoryDC, m_previousFont);
    m_previousBitmap = nullptr;
    m_previousFont = nullptr;
    if (m_bitmap != nullptr) {
        DeleteObject(m_bitmap);
        m_bitmap = nullptr;
    }
    DeleteDC(m_memoryDC);
    m_memoryDC = nullptr;
    return 1;
}
