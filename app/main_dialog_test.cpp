#include "app/main_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "app/dialog_driver.h"
#include "app/resource.h"
#include "countdown/time_count.h"
#include "countdown/time_count_thread.h"
#include "countdown/timer.h"
#include "display/time_display.h"
#include "platform/native_thread.h"
#include "sound/mci_music.h"
#include "testing/code_page.h"
#include "testing/wav_file.h"

namespace {

using app_test::DialogDriver;
using app_test::Eventually;
using app_test::kPauseCaption;
using app_test::kResumeCaption;
using app_test::kStartCaption;

constexpr char kZeroIntervalText[] = "時間を計測することができません。";
constexpr char kUnreadableSoundText[] = "インターバル音が読み込めません。";
constexpr char kSoundTooLongText[] = "インターバル音が長すぎます。";
constexpr int kSettingIds[] = {IDC_HOUR,  IDC_MINUTE, IDC_SECOND, IDC_MSEC,
                               IDC_COUNT, IDC_SOUND,  IDC_BROWSE};

struct Interval {
    int hour, minute, second, millisecond, count;
};

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        scratch_ = testing_support::MakeScratchDir("dialog");
        ASSERT_FALSE(scratch_.empty());
        ASSERT_TRUE(driver_.Launch()) << "the dialog did not open";
    }
    void TearDown() override { testing_support::RemoveTree(scratch_); }

    void SetInterval(const Interval& t) {
        ASSERT_TRUE(driver_.SetText(IDC_HOUR, std::to_string(t.hour)));
        ASSERT_TRUE(driver_.SetText(IDC_MINUTE, std::to_string(t.minute)));
        ASSERT_TRUE(driver_.SetText(IDC_SECOND, std::to_string(t.second)));
        ASSERT_TRUE(driver_.SetText(IDC_MSEC, std::to_string(t.millisecond)));
        ASSERT_TRUE(driver_.SetText(IDC_COUNT, std::to_string(t.count)));
    }

    std::string Wav(const std::string& name, uint32_t ms) {
        const std::string path = scratch_ + name;
        // 8 kHz: every millisecond is a whole number of samples, so the
        // length the media layer reports is exactly `ms`.
        EXPECT_TRUE(testing_support::WriteToneWav(path, ms, 8000));
        return path;
    }

    void ExpectIdle() {
        EXPECT_EQ(driver_.Text(IDC_START), kStartCaption);
        EXPECT_FALSE(driver_.Enabled(IDC_STOP));
        EXPECT_TRUE(driver_.Enabled(IDC_START));
        EXPECT_TRUE(driver_.Enabled(IDC_QUIT));
        for (int id : kSettingIds) EXPECT_TRUE(driver_.Enabled(id)) << id;
        EXPECT_EQ(g_worker->object, nullptr);
    }

    void ExpectBusy(const char* caption) {
        EXPECT_EQ(driver_.Text(IDC_START), caption);
        EXPECT_TRUE(driver_.Enabled(IDC_STOP));
        EXPECT_TRUE(driver_.Enabled(IDC_START));
        for (int id : kSettingIds) EXPECT_FALSE(driver_.Enabled(id)) << id;
        EXPECT_NE(g_worker->object, nullptr);
    }

    // Start pressed in Idle must be refused with this box.
    void ExpectRefusal(const char* text, bool icon) {
        ASSERT_TRUE(driver_.ClickAsync(IDC_START));
        HWND box = driver_.WaitForThreadWindow(app_test::kErrorCaption);
        ASSERT_NE(box, nullptr) << "no error box for: " << text;
        EXPECT_EQ(DialogDriver::HasIcon(box), icon);
        EXPECT_EQ(driver_.TakeErrorBox(), text);
        ASSERT_TRUE(driver_.Settle());
        ExpectIdle();
        EXPECT_TRUE((*g_music)->files().empty()) << "a refused sound stays open";
    }

    uint32_t RemainingMs() { return ToMilliseconds(Snapshot(g_remain)); }

    std::string scratch_;
    DialogDriver driver_;
};

TEST_F(MainDialogTest, TemplateCaptionsStylesAndResources) {
    char title[64] = {};
    GetWindowTextA(driver_.dialog(), title, sizeof title);
    EXPECT_STREQ(title, "Tocklet Version 0.01");
    const struct {
        int id;
        const char* caption;
    } captions[] = {{IDC_START, "開始(&C)"},  {IDC_STOP, "停止(&S)"}, {IDC_QUIT, "終了(&X)"},
                    {IDC_BROWSE, "参照(&B)"}, {IDC_SOUND, ""},        {IDC_HOUR, "0"},
                    {IDC_MINUTE, "0"},        {IDC_SECOND, "0"},      {IDC_MSEC, "0"},
                    {IDC_COUNT, "0"}};
    for (const auto& c : captions) EXPECT_EQ(driver_.Text(c.id), c.caption) << c.id;
    ExpectIdle();

    // The labels the program never addresses, found by their text.
    std::vector<std::string> labels;
    for (HWND child = GetWindow(driver_.dialog(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == 0xFFFF || GetDlgCtrlID(child) == -1) {
            char text[256] = {};
            GetWindowTextA(child, text, sizeof text);
            labels.push_back(text);
        }
    }
    const std::vector<std::string> expected = {
        "カウント情報",
        "インターバル時間",
        "h",
        "m",
        "s",
        "インターバル回数(0は無限)",
        "インターバル時間でのサウンド(無記入は通常ビープ音)"};
    EXPECT_EQ(labels, expected);

    const LONG style = GetWindowLongA(driver_.dialog(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    const LONG edit = GetWindowLongA(driver_.Item(IDC_HOUR), GWL_STYLE);
    EXPECT_TRUE(edit & ES_NUMBER);
    EXPECT_FALSE(GetWindowLongA(driver_.Item(IDC_SOUND), GWL_STYLE) & ES_NUMBER);
    EXPECT_TRUE(GetWindowLongA(driver_.Item(IDC_HOUR), GWL_EXSTYLE) & WS_EX_RIGHT);
    EXPECT_EQ(GetWindowLongA(driver_.Item(IDC_DISPLAY), GWL_STYLE) & SS_TYPEMASK, SS_OWNERDRAW);

    // Version record and manifest, linked from the same resource script.
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC version = FindResourceExA(self, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                                    MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(version, nullptr);
    const auto* block = static_cast<const char*>(LockResource(LoadResource(self, version)));
    const std::string bytes(block, SizeofResource(self, version));
    auto wide = [](const char* ascii) {
        std::string w;
        for (const char* p = ascii; *p; ++p) w += std::string{*p, '\0'};
        return w;
    };
    EXPECT_NE(bytes.find(wide("041104B0")), std::string::npos);
    EXPECT_NE(bytes.find(wide("ProductVersion")), std::string::npos);
    EXPECT_NE(bytes.find(wide("0.01")), std::string::npos);
    EXPECT_NE(bytes.find(wide("Tocklet")), std::string::npos);
    HRSRC manifest = FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    const std::string xml(static_cast<const char*>(LockResource(LoadResource(self, manifest))),
                          SizeofResource(self, manifest));
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(xml.find("version=\"6.0.0.0\""), std::string::npos);
    // Both identities name this program's own machine (side-by-side refuses
    // a 64-bit program that asks for the X86 controls).
    const std::string arch =
        sizeof(void*) == 8 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"X86\"";
    size_t archCount = 0;
    for (size_t at = xml.find(arch); at != std::string::npos; at = xml.find(arch, at + 1))
        ++archCount;
    EXPECT_EQ(archCount, 2u) << xml;

    driver_.Click(IDC_QUIT);
    EXPECT_EQ(driver_.WaitForExit(), 0);
}

// What a user reads, through the "W" functions: Japanese whatever the system
// code page. The non-Japanese run repeats the tests named "OnAnySystem".
TEST_F(MainDialogTest, EveryTextReadsInJapaneseAndNoPathBecomesALookAlikeOnAnySystem) {
    ASSERT_TRUE(testing_support::SystemCodePageAsExpected());
    EXPECT_EQ(DialogDriver::WideText(driver_.dialog()), L"Tocklet Version 0.01");
    const std::vector<std::wstring> controls = {
        L"カウント情報",
        L"インターバル時間",
        L"0",
        L"h",
        L"0",
        L"m",
        L"0",
        L"s",
        L"0",
        L"インターバル回数(0は無限)",
        L"0",
        L"インターバル時間でのサウンド(無記入は通常ビープ音)",
        L"",
        L"参照(&B)",
        L"",
        L"開始(&C)",
        L"停止(&S)",
        L"終了(&X)"};
    std::vector<std::wstring> shown;
    for (HWND child = GetWindow(driver_.dialog(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        shown.push_back(DialogDriver::WideText(child));
    }
    EXPECT_EQ(shown, controls);

    auto face = [](HGDIOBJ font) {
        LOGFONTW logFont = {};
        return GetObjectW(font, sizeof logFont, &logFont) == sizeof logFont
                   ? std::wstring(logFont.lfFaceName)
                   : L"(no font)";
    };
    const auto dialogFont =
        reinterpret_cast<HGDIOBJ>(SendMessageW(driver_.dialog(), WM_GETFONT, 0, 0));
    EXPECT_EQ(face(dialogFont), L"ＭＳ Ｐゴシック");
    EXPECT_EQ(face((*g_display)->font()), L"ＭＳ ゴシック");

    auto refusal = [&](const wchar_t* text) {
        ASSERT_TRUE(driver_.ClickAsync(IDC_START));
        EXPECT_EQ(driver_.TakeWideErrorBox(), text);
        ASSERT_TRUE(driver_.Settle());
        EXPECT_EQ(driver_.WideText(IDC_START), L"開始(&C)");
        EXPECT_EQ(g_worker->object, nullptr);
        EXPECT_TRUE((*g_music)->files().empty()) << "a refused sound stays open";
    };
    refusal(L"時間を計測することができません。");

    // A real sound whose name has no form in code page 932 or 1252, beside
    // the file its best-fit conversion would name instead.
    SetInterval({0, 0, 2, 0, 0});
    const std::wstring scratch(scratch_.begin(), scratch_.end());
    ASSERT_TRUE(std::all_of(scratch_.begin(), scratch_.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    Wav("tone-a.wav", 100);
    ASSERT_TRUE(
        MoveFileW((scratch + L"tone-a.wav").c_str(), (scratch + L"tone-\u0101.wav").c_str()));
    Wav("tone-a.wav", 100);
    ASSERT_TRUE(driver_.SetWideText(IDC_SOUND, scratch + L"tone-\u0101.wav"));
    refusal(L"インターバル音が読み込めません。");
    EXPECT_EQ(driver_.WideText(IDC_SOUND), scratch + L"tone-\u0101.wav") << "the path is kept";

    ASSERT_TRUE(driver_.SetText(IDC_SOUND, Wav("two.wav", 2000)));
    refusal(L"インターバル音が長すぎます。");

    ASSERT_TRUE(driver_.SetText(IDC_SOUND, ""));
    ASSERT_TRUE(driver_.Click(IDC_START));
    EXPECT_EQ(driver_.WideText(IDC_START), L"中断(&A)");
    ASSERT_TRUE(driver_.Click(IDC_START));
    EXPECT_EQ(driver_.WideText(IDC_START), L"再開(&R)");
    ASSERT_TRUE(driver_.Click(IDC_STOP));
    ASSERT_TRUE(driver_.Settle());
    EXPECT_EQ(driver_.WideText(IDC_START), L"開始(&C)");

    // The chooser: its title, and the filter's three descriptions.
    constexpr int kFileTypeCombo = 0x470;  // cmb1
    ASSERT_TRUE(driver_.ClickAsync(IDC_BROWSE));
    HWND chooser = driver_.WaitForThreadWindow(std::wstring(L"インターバル音を開く"));
    ASSERT_NE(chooser, nullptr) << "no chooser with the Japanese title";
    HWND types = GetDlgItem(chooser, kFileTypeCombo);
    std::vector<std::wstring> filters;
    const auto count = SendMessageW(types, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t item[256] = {};
        if (SendMessageW(types, CB_GETLBTEXTLEN, i, 0) < LRESULT{std::size(item)})
            SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        filters.push_back(item);
    }
    const std::vector<std::wstring> expectedFilters = {
        L"Waveサウンド (*.wav)", L"MP3ファイル (*.mp3)", L"すべてのファイル (*.*)"};
    EXPECT_EQ(filters, expectedFilters);
    PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(Eventually([&] { return !IsWindow(chooser); }));

    driver_.Click(IDC_QUIT);
    EXPECT_EQ(driver_.WaitForExit(), 0);
}

TEST_F(MainDialogTest, RefusalsLeaveTheDialogIdleAndUsable) {
    // All-zero time, whatever the count and the sound.
    ASSERT_TRUE(driver_.SetText(IDC_COUNT, "5"));
    ASSERT_TRUE(driver_.SetText(IDC_SOUND, scratch_ + "missing.wav"));
    ExpectRefusal(kZeroIntervalText, true);

    SetInterval({0, 0, 2, 0, 1});
    const std::string unopenable[] = {
        scratch_ + "missing.wav",
        scratch_,  // a directory
        scratch_ + std::string(300, 'a') + ".wav",
        scratch_ + "text.wav",
    };
    ASSERT_TRUE(testing_support::WriteBytes(scratch_ + "text.wav", "not a sound at all"));
    for (const std::string& path : unopenable) {
        ASSERT_TRUE(driver_.SetText(IDC_SOUND, path));
        ExpectRefusal(kUnreadableSoundText, true);
    }

    // Exactly as long as the interval: refused (and closed again); one
    // millisecond more of interval: accepted.
    ASSERT_TRUE(driver_.SetText(IDC_SOUND, Wav("two.wav", 2000)));
    ExpectRefusal(kSoundTooLongText, false);
    ASSERT_TRUE(driver_.SetText(IDC_MSEC, "1"));
    ASSERT_TRUE(driver_.Click(IDC_START));
    EXPECT_EQ(driver_.FindThreadWindow(app_test::kErrorCaption), nullptr);
    ExpectBusy(kPauseCaption);
    ASSERT_TRUE(driver_.Click(IDC_STOP));
    ASSERT_TRUE(driver_.Settle());
    ExpectIdle();
    EXPECT_TRUE((*g_music)->files().empty()) << "the worker's sound is closed with it";

    driver_.Click(IDC_QUIT);
    EXPECT_EQ(driver_.WaitForExit(), 0);
}

TEST_F(MainDialogTest, ClosingWhileTheTooLongBoxIsUpEndsCleanly) {
    // Another program may close the window while the box's own loop runs;
    // the refused sound must not outlive the service that closes with it.
    SetInterval({0, 0, 2, 0, 1});
    ASSERT_TRUE(driver_.SetText(IDC_SOUND, Wav("two.wav", 2000)));
    ASSERT_TRUE(driver_.ClickAsync(IDC_START));
    HWND box = driver_.WaitForThreadWindow(app_test::kErrorCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE((*g_music)->files().empty()) << "the refused sound is still open under the box";
    ASSERT_TRUE(PostMessageA(driver_.dialog(), WM_CLOSE, 0, 0));
    ASSERT_TRUE(app_test::Eventually([] { return g_music->object == nullptr; }));
    EXPECT_EQ(driver_.TakeErrorBox(), kSoundTooLongText);
    EXPECT_EQ(driver_.WaitForExit(), 0);
}

TEST_F(MainDialogTest, AWorkerThreadThatCannotStartLeavesTheDialogIdle) {
    SetInterval({0, 0, 2, 0, 1});
    ASSERT_TRUE(driver_.SetText(IDC_SOUND, Wav("short.wav", 100)));
    const platform::StartThreadFunction real = platform::SetStartThreadForTesting(
        [](platform::ThreadRoutine, void*) -> platform::ThreadHandle { return nullptr; });
    const bool clicked = driver_.Click(IDC_START);
    platform::SetStartThreadForTesting(real);
    ASSERT_TRUE(clicked);
    ExpectIdle();
    EXPECT_TRUE((*g_music)->files().empty()) << "the sound of the failed start stays open";

    // The next Start works as usual.
    ASSERT_TRUE(driver_.Click(IDC_START));
    ExpectBusy(kPauseCaption);
    ASSERT_TRUE(driver_.Click(IDC_STOP));
    ASSERT_TRUE(driver_.Settle());
    ExpectIdle();
}

TEST_F(MainDialogTest, StartPauseResumeStop) {
    SetInterval({0, 1, 0, 0, 0});
    ASSERT_TRUE(driver_.Click(IDC_START));
    ExpectBusy(kPauseCaption);
    ASSERT_TRUE(Eventually([&] { return RemainingMs() != 0 && RemainingMs() < 60'000; }));

    ASSERT_TRUE(driver_.Click(IDC_START));
    ExpectBusy(kResumeCaption);
    ASSERT_TRUE(driver_.Settle());
    const uint32_t frozen = RemainingMs();
    Sleep(300);
    EXPECT_EQ(RemainingMs(), frozen) << "time went on while paused";

    ASSERT_TRUE(driver_.Click(IDC_START));
    ExpectBusy(kPauseCaption);
    EXPECT_TRUE(Eventually([&] { return RemainingMs() < frozen; }));

    // Stop while paused.
    ASSERT_TRUE(driver_.Click(IDC_START));
    ExpectBusy(kResumeCaption);
    ASSERT_TRUE(driver_.Click(IDC_STOP));
    ASSERT_TRUE(driver_.Settle());
    ExpectIdle();
    EXPECT_EQ(RemainingMs(), 0u);
    EXPECT_EQ(driver_.Text(IDC_MINUTE), "1") << "the settings stay";
    EXPECT_EQ(g_setting.minute, 1);

    // A finish that arrives when idle changes nothing.
    ASSERT_TRUE(driver_.PostAndSettle(WM_TC_FINISH, 1, 0));
    ExpectIdle();

    driver_.Click(IDC_QUIT);
    EXPECT_EQ(driver_.WaitForExit(), 0);
}

TEST_F(MainDialogTest, EscapeAndEnterDoNothing) {
    SetFocus(nullptr);
    ASSERT_TRUE(driver_.PressKey(IDC_HOUR, VK_ESCAPE));
    ASSERT_TRUE(driver_.PressKey(IDC_MINUTE, VK_RETURN));
    ASSERT_TRUE(driver_.PostAndSettle(WM_COMMAND, IDCANCEL, 0));
    ASSERT_TRUE(driver_.PostAndSettle(WM_COMMAND, IDOK, 0));
    ASSERT_TRUE(driver_.Settle());
    EXPECT_TRUE(driver_.Running());
    EXPECT_TRUE(IsWindow(driver_.dialog()));
    ExpectIdle();

    // The close box ends the run.
    ASSERT_TRUE(PostMessageA(driver_.dialog(), WM_SYSCOMMAND, SC_CLOSE, 0));
    EXPECT_EQ(driver_.WaitForExit(), 0);
}

constexpr uint32_t kWhite = 0x00FFFFFFu;
constexpr uint32_t kBlack = 0;

// Black text on a mostly white ground: the display has painted (a window
// read back before its first paint comes out black).
bool LooksPainted(const std::vector<uint32_t>& pixels) {
    const auto black = std::count(pixels.begin(), pixels.end(), kBlack);
    const auto white = std::count(pixels.begin(), pixels.end(), kWhite);
    return black > 100 && white > black;
}

std::vector<uint32_t> PaintedDisplay(const DialogDriver& driver) {
    std::vector<uint32_t> pixels;
    Eventually([&] { return LooksPainted(pixels = driver.DisplayPixels()); });
    return pixels;
}

long Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return -1;
    long n = 0;
    for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

TEST_F(MainDialogTest, NaturalFinishReturnsToIdleShowingZero) {
    ASSERT_TRUE(driver_.PostAndSettle(WM_TC_REDRAW));
    const std::vector<uint32_t> zero = PaintedDisplay(driver_);
    ASSERT_TRUE(LooksPainted(zero)) << "the display never painted";
    SetInterval({0, 0, 1, 500, 2});
    ASSERT_TRUE(driver_.SetText(IDC_SOUND, Wav("short.wav", 200)));
    ASSERT_TRUE(driver_.Click(IDC_START));
    ExpectBusy(kPauseCaption);
    EXPECT_TRUE(Eventually([&] {
        const auto now = driver_.DisplayPixels();
        return LooksPainted(now) && now != zero;
    })) << "the display never showed the running time";

    ASSERT_TRUE(Eventually([&] { return driver_.Text(IDC_START) == kStartCaption; }, 30'000));
    ASSERT_TRUE(driver_.Settle());
    ExpectIdle();
    EXPECT_EQ(RemainingMs(), 0u);
    EXPECT_TRUE((*g_music)->files().empty());
    // Any later repaint shows 00:00:00 000 again.
    ASSERT_TRUE(driver_.PostAndSettle(WM_TC_REDRAW));
    std::vector<uint32_t> last;
    EXPECT_TRUE(Eventually([&] { return (last = driver_.DisplayPixels()) == zero; }))
        << Differences(last, zero) << " pixels differ from the first picture";

    driver_.Click(IDC_QUIT);
    EXPECT_EQ(driver_.WaitForExit(), 0);
}

bool ThreadGone(DWORD id) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    if (thread == nullptr) return true;
    const bool ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

TEST_F(MainDialogTest, QuitWhileRunningEndsWithCodeZeroAndNoThreadLeft) {
    SetInterval({0, 0, 30, 0, 0});
    ASSERT_TRUE(driver_.SetText(IDC_SOUND, Wav("tone.wav", 300)));
    ASSERT_TRUE(driver_.Click(IDC_START));
    ExpectBusy(kPauseCaption);
    ASSERT_TRUE(driver_.Settle());
    const DWORD worker = (*g_worker)->GetId();
    const DWORD service = (*g_music)->threadId();
    ASSERT_NE(worker, 0u);
    ASSERT_NE(service, 0u);
    // The run holds the timer-resolution guard.
    EXPECT_EQ(g_timerPeriodUsers.load(), 1);

    ASSERT_TRUE(driver_.ClickAsync(IDC_QUIT));
    EXPECT_EQ(driver_.WaitForExit(), 0);
    EXPECT_TRUE(ThreadGone(worker));
    EXPECT_TRUE(ThreadGone(service));
    // Released last: no user left and the coarse tick is back.
    EXPECT_EQ(g_timerPeriodUsers.load(), 0);
    EXPECT_EQ(g_tickSource.load(), g_timerPlatform.coarseTick);
}

TEST_F(MainDialogTest, BrowseKeepsThePathOnCancelAndTakesTheChosenFile) {
    constexpr char kChooserTitle[] = "インターバル音を開く";
    constexpr int kFileNameEdit = 0x480;   // edt1
    constexpr int kFileNameCombo = 0x47c;  // cmb13, the newer chooser's name box
    const std::string chosen = Wav("chosen.wav", 100);
    ASSERT_TRUE(driver_.SetText(IDC_SOUND, "keep.wav"));

    ASSERT_TRUE(driver_.ClickAsync(IDC_BROWSE));
    HWND chooser = driver_.WaitForThreadWindow(kChooserTitle);
    ASSERT_NE(chooser, nullptr);
    PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(Eventually([&] { return !IsWindow(chooser); }));
    ASSERT_TRUE(driver_.Settle());
    EXPECT_EQ(driver_.Text(IDC_SOUND), "keep.wav");

    ASSERT_TRUE(driver_.ClickAsync(IDC_BROWSE));
    chooser = driver_.WaitForThreadWindow(kChooserTitle);
    ASSERT_NE(chooser, nullptr);
    HWND name = GetDlgItem(chooser, kFileNameEdit);
    if (name == nullptr) name = GetDlgItem(chooser, kFileNameCombo);
    ASSERT_NE(name, nullptr) << "no file name box in the chooser";
    DWORD_PTR r = 0;
    SendMessageTimeoutA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()), SMTO_NORMAL,
                        10'000, &r);
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(Eventually([&] { return !IsWindow(chooser); }));
    ASSERT_TRUE(driver_.Settle());
    EXPECT_EQ(lstrcmpiA(driver_.Text(IDC_SOUND).c_str(), chosen.c_str()), 0)
        << driver_.Text(IDC_SOUND);

    driver_.Click(IDC_QUIT);
    EXPECT_EQ(driver_.WaitForExit(), 0);
}

}  // namespace
