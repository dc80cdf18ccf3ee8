#include "testing/window_pixels.h"

namespace testing_support {

std::vector<uint32_t> ReadClientPixels(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    HDC windowDC = GetDC(window);
    HDC copyDC = CreateCompatibleDC(windowDC);
    HBITMAP copy = CreateCompatibleBitmap(windowDC, width, height);
    HGDIOBJ old = SelectObject(copyDC, copy);
    BitBlt(copyDC, 0, 0, width, height, windowDC, 0, 0, SRCCOPY);
    SelectObject(copyDC, old);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(copyDC, copy, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(copy);
    DeleteDC(copyDC);
    ReleaseDC(window, windowDC);
    for (uint32_t& p : pixels) p &= 0x00FFFFFFu;
    return pixels;
}

}  // namespace testing_support
