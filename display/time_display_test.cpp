#include "display/time_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/resource.h"
#include "testing/window_pixels.h"

namespace {

std::string Format(const TimeCount& t) {
    char buffer[kTimeTextSize];
    const int n = FormatTimeText(t, buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(n));
}

TEST(FormatTimeText, ZeroPadsEachFieldAndLeavesOutTheCount) {
    EXPECT_EQ(Format(TimeCount{1, 2, 3, 4, 0}), "01:02:03 004");
    EXPECT_EQ(Format(TimeCount{99, 59, 59, 999, 0}), "99:59:59 999");
    EXPECT_EQ(Format(TimeCount{0, 0, 0, 0, 0}), "00:00:00 000");
    EXPECT_EQ(Format(TimeCount{0, 0, 0, 0, -3}), "00:00:00 000");
    EXPECT_EQ(Format(TimeCount{1, 2, 3, 4, 9999}), "01:02:03 004");
}

TEST(FormatTimeText, ShortBufferIsCutAndTerminated) {
    char buffer[6];
    std::memset(buffer, 'x', sizeof buffer);
    const int n = FormatTimeText(TimeCount{12, 34, 56, 789, 0}, buffer, sizeof buffer);
    EXPECT_EQ(n, 5);
    EXPECT_STREQ(buffer, "12:34");
}

// A visible popup with an owner-drawn static control IDC_DISPLAY, sized as
// the real dialog's display roughly is, standing in for the main dialog.
class DisplayHost {
public:
    // Read-back needs a shown window (a hidden one has no surface under
    // Wine); closing a shown window is slow there, so tests share one.
    DisplayHost(bool withDisplay, bool visible) {
        parent_ =
            CreateWindowExA(0, "STATIC", "host", WS_POPUP | (visible ? WS_VISIBLE : 0), 10, 10, 420,
                            120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (withDisplay) {
            display_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 0,
                                       kWidth, kHeight, parent_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_DISPLAY)),
                                       GetModuleHandleA(nullptr), nullptr);
        }
        Pump();
    }
    ~DisplayHost() { Destroy(); }
    DisplayHost(const DisplayHost&) = delete;
    DisplayHost& operator=(const DisplayHost&) = delete;

    void Destroy() {
        if (parent_ != nullptr) DestroyWindow(parent_);
        parent_ = display_ = nullptr;
    }

    static void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }

    // The control's pixels, read back through its own device context.
    std::vector<uint32_t> Pixels() const { return testing_support::ReadClientPixels(display_); }

    // Paints the control a colour the display never uses, so a later read
    // shows whether the display painted.
    void Paint(COLORREF colour) const {
        HDC dc = GetDC(display_);
        RECT r = {0, 0, kWidth, kHeight};
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        ReleaseDC(display_, dc);
    }

    HWND parent() const { return parent_; }

    static constexpr int kWidth = 352;
    static constexpr int kHeight = 64;

private:
    HWND parent_ = nullptr;
    HWND display_ = nullptr;
};

constexpr uint32_t kWhite = 0x00FFFFFFu;
constexpr uint32_t kBlack = 0x00000000u;

struct InkBox {
    int inked = 0;
    int top = DisplayHost::kHeight, bottom = -1;
};

InkBox Ink(const std::vector<uint32_t>& pixels) {
    InkBox box;
    for (int y = 0; y < DisplayHost::kHeight; ++y) {
        for (int x = 0; x < DisplayHost::kWidth; ++x) {
            if (pixels[static_cast<std::size_t>(y) * DisplayHost::kWidth + x] != kWhite) {
                ++box.inked;
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
        }
    }
    return box;
}

class TimeDisplayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { host_ = new DisplayHost(true, true); }
    static void TearDownTestSuite() {
        delete host_;
        host_ = nullptr;
    }
    void SetUp() override { ClearAll(g_remain); }
    void TearDown() override { ClearAll(g_remain); }

    static std::vector<uint32_t> DrawValue(CTimeDisplay& display, TimeCount value) {
        g_remain = value;
        host_->Paint(RGB(255, 0, 0));
        EXPECT_EQ(display.Draw(), 1);
        return host_->Pixels();
    }

    static DisplayHost* host_;
};

DisplayHost* TimeDisplayTest::host_ = nullptr;

TEST_F(TimeDisplayTest, PaintsBlackTextOnWhiteInTheLargeFont) {
    CTimeDisplay display(host_->parent());
    const std::vector<uint32_t> pixels = DrawValue(display, TimeCount{1, 2, 3, 4, 0});

    // Every pixel is the display's own: white fill or black glyphs, none of
    // the red the control was painted with before.
    const auto foreign = std::count_if(pixels.begin(), pixels.end(),
                                       [](uint32_t p) { return p != kWhite && p != kBlack; });
    const auto black = std::count(pixels.begin(), pixels.end(), kBlack);
    const auto white = std::count(pixels.begin(), pixels.end(), kWhite);
    // Antialiasing may leave grey edges; red would mean nothing was copied.
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0x00FF0000u), 0);
    EXPECT_GT(black, 200);
    EXPECT_GT(white, black);
    EXPECT_LT(foreign, black);

    // A 48-pixel cell: digits are far taller than the default font's.
    const InkBox box = Ink(pixels);
    EXPECT_GE(box.bottom - box.top + 1, 24);
}

TEST_F(TimeDisplayTest, PictureFollowsTheRemainingTime) {
    CTimeDisplay display(host_->parent());
    const auto a = DrawValue(display, TimeCount{1, 2, 3, 4, 0});
    const auto b = DrawValue(display, TimeCount{99, 59, 59, 999, 0});
    const auto a2 = DrawValue(display, TimeCount{1, 2, 3, 4, 0});
    const auto zero = DrawValue(display, TimeCount{0, 0, 0, 0, 0});
    EXPECT_NE(a, b);
    EXPECT_NE(a, zero);
    EXPECT_EQ(a, a2);  // same value, same picture: nothing is left over
    EXPECT_GT(Ink(zero).inked, 200);

    // The count is never shown.
    const auto counted = DrawValue(display, TimeCount{1, 2, 3, 4, 1234});
    EXPECT_EQ(a, counted);
}

TEST_F(TimeDisplayTest, WithoutTheControlNothingIsPainted) {
    DisplayHost host(false, false);
    CTimeDisplay display(host.parent());
    g_remain = TimeCount{1, 2, 3, 4, 0};
    EXPECT_EQ(display.Draw(), 0);
    EXPECT_EQ(display.Draw(), 0);
}

TEST_F(TimeDisplayTest, FailedSurfacePaintsNothing) {
    CTimeDisplay display(host_->parent());
    ASSERT_EQ(display.Draw(), 1);
    // An empty size builds no surface; the old one is released, not leaked.
    EXPECT_EQ(display.CreateSurface(0, DisplayHost::kHeight), 0);
    host_->Paint(RGB(255, 0, 0));
    EXPECT_EQ(display.Draw(), 0);
    const auto pixels = host_->Pixels();
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0x00FF0000u),
              static_cast<long>(pixels.size()));
    EXPECT_EQ(display.ReleaseSurface(), 1);
    EXPECT_EQ(display.ReleaseSurface(), 1);
}

TEST_F(TimeDisplayTest, OutlivesItsWindow) {
    DisplayHost host(true, true);
    auto display = std::make_unique<CTimeDisplay>(host.parent());
    EXPECT_EQ(display->Draw(), 1);
    host.Destroy();
    // Releasing the surface and the font touches neither window; both are gone.
    EXPECT_EQ(display->ReleaseSurface(), 1);
    EXPECT_EQ(display->Draw(), 0);
    display.reset();
}

}  // namespace
