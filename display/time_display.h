// The large remaining-time display: draws g_remain into an off-screen bitmap
// and copies it to the owner-drawn IDC_DISPLAY control in one transfer.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "countdown/time_count.h"

// Bytes of the text buffer; the text itself is 12 characters for any setting.
inline constexpr std::size_t kTimeTextSize = 64;

// "%02d:%02d:%02d %03d" of hour, minute, second and millisecond (count is
// never shown). Returns the text's length in bytes.
int FormatTimeText(const TimeCount& time, char* buffer, std::size_t size);

class CTimeDisplay {
public:
    explicit CTimeDisplay(HWND dialog);
    ~CTimeDisplay();
    CTimeDisplay(const CTimeDisplay&) = delete;
    CTimeDisplay& operator=(const CTimeDisplay&) = delete;

    // 1 when the off-screen surface was built, 0 otherwise (nothing is drawn).
    int CreateSurface(int32_t width, int32_t height);
    // 1 when painted, 0 when there is no surface. Reads g_remain itself.
    int Draw();
    int ReleaseSurface();
    // The display font, as created (null when creation failed).
    HFONT font() const { return m_font; }

private:
    HWND m_dialog;
    HWND m_display;
    HDC m_memoryDC = nullptr;
    HFONT m_font = nullptr;
    HBRUSH m_background = nullptr;  // never set: the stock white brush is used
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previousFont = nullptr;
    HGDIOBJ m_previousBitmap = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
};
