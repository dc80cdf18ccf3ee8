// The sound service on the real media layer (run under Wine with a null
// audio output, so plays run to their end without a sound card).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "sound/cd_audio.h"
#include "sound/mci_music.h"
#include "sound/mci_music_file.h"
#include "sound/sound_test_support.h"
#include "testing/process_counts.h"
#include "testing/wait.h"
#include "testing/wav_file.h"

namespace {

using namespace std::chrono_literals;
using sound_test::CNoticeRecorder;
using sound_test::CSpyBackend;
using testing_support::WaitUntil;

// The wave device reports lengths rounded to whole milliseconds.
constexpr uint32_t kLengthSlackMs = 2;
// Long enough for stray notices to turn up after a play has ended.
constexpr auto kSettle = 300ms;

class RealSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testing_support::MakeScratchDir("sound");
        ASSERT_FALSE(dir_.empty());
        music_ = std::make_unique<CMCIMusic>(nullptr, &spy_);
        ASSERT_NE(music_->window(), nullptr);
    }
    void TearDown() override {
        music_.reset();
        testing_support::RemoveTree(dir_);
    }

    std::string Tone(const std::string& name, uint32_t ms) {
        const std::string path = dir_ + name;
        EXPECT_TRUE(testing_support::WriteToneWav(path, ms)) << path;
        return path;
    }

    // Waits until the player has seen its end of play.
    static bool PlayEnds(const CMCIMusicFile* file) {
        return WaitUntil([file] { return !file->IsPlaying(); }, 20'000ms);
    }

    std::string dir_;
    CSpyBackend spy_;
    std::unique_ptr<CMCIMusic> music_;
};

TEST_F(RealSoundTest, OpensWavPlaysToOneSuccessfulEndAndReplaysFromTheStart) {
    CNoticeRecorder notices(music_->threadId());
    ASSERT_TRUE(notices.installed());
    // Long enough that a stall on a busy machine cannot end the play before
    // the Stop below (a null output plays faster than real time).
    constexpr uint32_t kToneMs = 3'000;
    CMCIMusicFile* file = music_->OpenFile(Tone("tone.wav", kToneMs).c_str());
    ASSERT_NE(file, nullptr);
    const uint32_t device = file->deviceId();
    EXPECT_NE(device, 0u);
    EXPECT_EQ(file->flags(), CMCIMusicFile::kOpen);
    EXPECT_NEAR(file->length(), kToneMs, kLengthSlackMs);
    EXPECT_EQ(file->owner(), music_.get());
    EXPECT_EQ(file->callbackWindow(), music_->window());

    ASSERT_EQ(file->Play(), 1);
    ASSERT_TRUE(PlayEnds(file));
    std::this_thread::sleep_for(kSettle);
    EXPECT_EQ(notices.Count(MCI_NOTIFY_SUCCESSFUL, device), 1u);
    EXPECT_EQ(notices.Notices().size(), 1u);
    EXPECT_EQ(file->flags(), CMCIMusicFile::kOpen);

    const std::size_t before = spy_.CallCount();
    EXPECT_EQ(file->Stop(), 0);
    EXPECT_EQ(spy_.CallCount(), before) << "a stop on an ended play issued a command";

    // Stop a running play, then play again: same device, from position 0.
    ASSERT_EQ(file->Play(), 1);
    EXPECT_EQ(file->Stop(), 1);
    EXPECT_FALSE(file->IsPlaying());
    ASSERT_EQ(file->Play(), 1);
    EXPECT_EQ(file->deviceId(), device);
    ASSERT_TRUE(PlayEnds(file));
    EXPECT_TRUE(WaitUntil([&] { return notices.Count(MCI_NOTIFY_SUCCESSFUL, device) == 2; }));
    std::this_thread::sleep_for(kSettle);
    EXPECT_EQ(notices.Count(MCI_NOTIFY_SUCCESSFUL, device), 2u);
    for (const auto& call : spy_.Calls()) {
        if (call.command != MCI_PLAY) continue;
        EXPECT_EQ(call.result, 0u);
        EXPECT_EQ(call.from, 0u);
        EXPECT_EQ(call.to, file->length());
    }
    EXPECT_EQ(spy_.Count(device, MCI_PLAY), 3u);
    EXPECT_EQ(music_->CloseFile(file), 1);
    EXPECT_TRUE(music_->files().empty());
}

TEST_F(RealSoundTest, TwoPlayersEachGetTheirOwnNoticeInEitherOrder) {
    CNoticeRecorder notices(music_->threadId());
    ASSERT_TRUE(notices.installed());
    CMCIMusicFile* first = music_->OpenFile(Tone("first.wav", 250).c_str());
    CMCIMusicFile* second = music_->OpenFile(Tone("second.wav", 500).c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(first->deviceId(), second->deviceId());
    EXPECT_EQ(music_->files(), (std::vector<CMCIMusicFile*>{first, second}));

    // The later-opened player plays first, then the other way round.
    for (auto [a, b] : {std::pair{second, first}, std::pair{first, second}}) {
        const std::size_t aEnds = notices.Count(MCI_NOTIFY_SUCCESSFUL, a->deviceId());
        const std::size_t bEnds = notices.Count(MCI_NOTIFY_SUCCESSFUL, b->deviceId());
        ASSERT_EQ(a->Play(), 1);
        ASSERT_EQ(b->Play(), 1);
        EXPECT_TRUE(PlayEnds(a));
        EXPECT_TRUE(PlayEnds(b));
        std::this_thread::sleep_for(kSettle);
        EXPECT_EQ(notices.Count(MCI_NOTIFY_SUCCESSFUL, a->deviceId()), aEnds + 1);
        EXPECT_EQ(notices.Count(MCI_NOTIFY_SUCCESSFUL, b->deviceId()), bEnds + 1);
        EXPECT_TRUE(a->IsOpen());
        EXPECT_TRUE(b->IsOpen());
    }
    EXPECT_EQ(notices.CountCode(MCI_NOTIFY_FAILURE), 0u);
}

std::string ExeDir() {
    char path[MAX_PATH] = {};
    const DWORD size = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, size);
    return text.substr(0, text.find_last_of("\\/") + 1);
}

TEST_F(RealSoundTest, Mp3OpensWithAPlausibleLength) {
    const std::string mp3 = ExeDir() + "tone_1s.mp3";
    std::ifstream probe(mp3, std::ios::binary);
    ASSERT_TRUE(probe.good()) << "fixture missing beside the test program: " << mp3;
    CMCIMusicFile* file = music_->OpenFile(mp3.c_str());
    if (file == nullptr) {
        GTEST_SKIP() << "the media layer opens no MP3 here (no MPEG decoder installed)";
    }
    // One second of tone; encoders add a frame or two of padding.
    EXPECT_GE(file->length(), 950u);
    EXPECT_LE(file->length(), 1200u);
}

TEST_F(RealSoundTest, BadInputGivesNoPlayerAndLeavesTheListAlone) {
    CMCIMusicFile* kept = music_->OpenFile(Tone("kept.wav", 100).c_str());
    ASSERT_NE(kept, nullptr);
    const std::vector<CMCIMusicFile*> list{kept};

    const std::string textAsWav = dir_ + "text.wav";
    const std::string empty = dir_ + "empty.wav";
    const std::string truncated = dir_ + "truncated.wav";
    ASSERT_TRUE(testing_support::WriteBytes(textAsWav, "this is not a sound\r\n"));
    ASSERT_TRUE(testing_support::WriteBytes(empty, ""));
    ASSERT_TRUE(testing_support::WriteTruncatedWav(truncated));
    const std::string subdir = dir_ + "folder.wav";
    ASSERT_TRUE(CreateDirectoryA(subdir.c_str(), nullptr));

    const std::string cases[] = {dir_ + "missing.wav", subdir, "", textAsWav, empty, truncated,
                                 dir_ + "kept.wav"};  // already open under this alias
    for (const std::string& path : cases) {
        EXPECT_EQ(music_->OpenFile(path.c_str()), nullptr) << "'" << path << "'";
        EXPECT_EQ(music_->files(), list) << path;
    }
    EXPECT_EQ(music_->OpenFile(nullptr), nullptr);
    EXPECT_EQ(music_->files(), list);
    EXPECT_TRUE(kept->IsOpen());
    EXPECT_EQ(kept->Play(), 1);
    EXPECT_TRUE(PlayEnds(kept));
}

// UTF-8 text in the system code page (CP932 under the Japanese locale).
std::string ToAnsi(const char8_t* utf8) {
    const auto* bytes = reinterpret_cast<const char*>(utf8);
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, bytes, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes, -1, wide.data(), wideLength);
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(), length, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(length) - 1);
    return text;
}

// A path of exactly `bytes` bytes naming a tone file in `dir`.
std::string PathOfLength(const std::string& dir, std::size_t bytes) {
    const std::string suffix = ".wav";
    return dir + std::string(bytes - dir.size() - suffix.size(), 'p') + suffix;
}

TEST_F(RealSoundTest, PathLengthLimitAndJapaneseNames) {
    ASSERT_LT(dir_.size(), 200u);
    const std::string longest = PathOfLength(dir_, 259);
    ASSERT_EQ(longest.size(), 259u);
    ASSERT_TRUE(testing_support::WriteToneWav(longest, 150));
    CMCIMusicFile* file = music_->OpenFile(longest.c_str());
    ASSERT_NE(file, nullptr) << "a 259-byte path must open";
    EXPECT_NEAR(file->length(), 150u, kLengthSlackMs);
    EXPECT_EQ(music_->OpenFile(longest.c_str()), nullptr) << "same alias twice";
    EXPECT_EQ(music_->files().size(), 1u);

    for (std::size_t bytes : {std::size_t{260}, std::size_t{2047}}) {
        const std::string path = PathOfLength(dir_, bytes);
        const std::size_t before = spy_.Count(0, MCI_OPEN);
        EXPECT_EQ(music_->OpenFile(path.c_str()), nullptr) << bytes;
        EXPECT_EQ(spy_.Count(0, MCI_OPEN), before) << bytes << "-byte path reached the media layer";
    }
    EXPECT_EQ(music_->files().size(), 1u);

    const std::string japanese = dir_ + ToAnsi(u8"音 ファイル テスト.wav");
    ASSERT_TRUE(testing_support::WriteToneWav(japanese, 200));
    ASSERT_EQ(GetACP(), 932u) << "tests run under the Japanese locale";
    CMCIMusicFile* named = music_->OpenFile(japanese.c_str());
    ASSERT_NE(named, nullptr);
    EXPECT_NEAR(named->length(), 200u, kLengthSlackMs);
    EXPECT_EQ(named->Play(), 1);
    EXPECT_TRUE(PlayEnds(named));
    EXPECT_EQ(music_->files().size(), 2u);
}

TEST_F(RealSoundTest, ServiceFindsNoCdDriveWhereThereIsNone) {
    int cdDrives = 0;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        const char root[] = {letter, ':', '\0'};
        if (GetDriveTypeA(root) == DRIVE_CDROM) ++cdDrives;
    }
    if (cdDrives != 0) GTEST_SKIP() << "this machine reports a CD-ROM drive";
    ASSERT_NE(music_->cd(), nullptr);
    EXPECT_STREQ(music_->cd()->rootPath(), "");
    EXPECT_EQ(music_->cd()->deviceId(), 0u);
}

TEST(RealSoundLifetimeTest, WorksWithARealOwnerWindow) {
    const HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                       nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    {
        CMCIMusic music(owner);
        ASSERT_NE(music.window(), nullptr);
        EXPECT_NE(music.threadId(), GetCurrentThreadId());
        char className[32] = {};
        GetClassNameA(music.window(), className, sizeof(className));
        EXPECT_STREQ(className, "MCIMusicWindow");
        EXPECT_FALSE(IsWindowVisible(music.window()));
    }
    DestroyWindow(owner);
}

TEST(RealSoundLifetimeTest, DestroyingTheServiceStopsAndClosesAPlayingSound) {
    const std::string dir = testing_support::MakeScratchDir("sound-teardown");
    const std::string path = dir + "long.wav";
    ASSERT_TRUE(testing_support::WriteToneWav(path, 30'000, 8000));
    CSpyBackend spy;
    auto music = std::make_unique<CMCIMusic>(nullptr, &spy);
    CMCIMusicFile* file = music->OpenFile(path.c_str());
    ASSERT_NE(file, nullptr);
    const uint32_t device = file->deviceId();
    ASSERT_EQ(file->Play(), 1);
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, music->threadId());
    ASSERT_NE(thread, nullptr);

    music.reset();
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "service thread still running";
    CloseHandle(thread);
    EXPECT_GE(spy.Count(device, MCI_STOP), 1u);
    EXPECT_GE(spy.Count(device, MCI_CLOSE), 1u);
    bool closedWell = false;
    for (const auto& call : spy.Calls()) {
        if (call.deviceId == device && call.command == MCI_CLOSE && call.result == 0) {
            closedWell = true;
        }
    }
    EXPECT_TRUE(closedWell) << "the device was not closed while the service still ran";
    // The device is gone: the same path opens again under its alias.
    CMCIMusic again(nullptr);
    EXPECT_NE(again.OpenFile(path.c_str()), nullptr);
    testing_support::RemoveTree(dir);
}

// One service lifetime. A stop under Wine takes ~150 ms, so most cycles let
// the short tone end first and only every tenth is torn down mid-play.
void OneCycle(const std::string& shortTone, const std::string& longTone, bool midPlay) {
    CMCIMusic music(nullptr);
    CMCIMusicFile* file = music.OpenFile((midPlay ? longTone : shortTone).c_str());
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->Play(), 1);
    if (!midPlay) {
        ASSERT_TRUE(WaitUntil([file] { return !file->IsPlaying(); }));
    }
}

TEST(RealSoundLifetimeTest, RepeatedCyclesLeaveThreadAndHandleCountsAlone) {
    const std::string dir = testing_support::MakeScratchDir("sound-cycles");
    const std::string shortTone = dir + "short.wav";
    const std::string longTone = dir + "long.wav";
    ASSERT_TRUE(testing_support::WriteToneWav(shortTone, 30, 8000));
    ASSERT_TRUE(testing_support::WriteToneWav(longTone, 5'000, 8000));
    // The first cycles load the audio drivers, which keep their threads.
    OneCycle(shortTone, longTone, false);
    OneCycle(shortTone, longTone, true);
    std::this_thread::sleep_for(500ms);
    const auto threads = testing_support::ThreadCount();
    const auto handles = testing_support::HandleCount();
    ASSERT_TRUE(threads.has_value());
    ASSERT_TRUE(handles.has_value()) << "the system gives no handle count";

    constexpr int kCycles = 200;
    for (int i = 0; i < kCycles; ++i) {
        OneCycle(shortTone, longTone, i % 10 == 0);
        if (HasFatalFailure()) return;
    }
    EXPECT_TRUE(WaitUntil([&] { return testing_support::ThreadCount() == threads; }))
        << "threads: " << *threads << " before, " << testing_support::ThreadCount().value_or(0)
        << " after";
    // 20 of the cycles are torn down mid-play: a leak in them exceeds the slack.
    EXPECT_TRUE(WaitUntil([&] {
        return testing_support::HandleCount().value_or(UINT32_MAX) <=
               *handles + testing_support::kAudioDriverHandleSlack;
    })) << "handles: "
        << *handles << " before, " << testing_support::HandleCount().value_or(0) << " after";
    testing_support::RemoveTree(dir);
}

}  // namespace
