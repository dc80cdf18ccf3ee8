// The service and its players against the recording back end: the exact
// commands issued, notice routing, and the paths where the service has no
// thread or no window.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "sound/cd_audio.h"
#include "sound/fake_mci_backend.h"
#include "sound/mci_music.h"
#include "sound/mci_music_file.h"
#include "testing/wait.h"

namespace {

using testing_support::WaitUntil;
using Call = CFakeMCIBackend::Call;

constexpr uint32_t kOpenFlags = MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS | MCI_WAIT;
constexpr uint32_t kStatusFlags = MCI_STATUS_ITEM | MCI_WAIT;
constexpr uint32_t kPlayFlags = MCI_NOTIFY | MCI_FROM | MCI_TO;

class FakeSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_.AddFile("a.wav", 300);
        fake_.AddFile("b.wav", 700);
        music_ = std::make_unique<CMCIMusic>(nullptr, &fake_);
        ASSERT_NE(music_->window(), nullptr);
        fake_.ClearRecords();
    }

    // Posts a notice and then a successful one for `marker`, and waits for
    // the marker's end of play: the first notice has then been handled too.
    void NoticeThenFlush(uint32_t deviceId, uint32_t code, CMCIMusicFile* marker) {
        ASSERT_TRUE(PostMessageA(music_->window(), MM_MCINOTIFY, code, deviceId));
        ASSERT_EQ(marker->Play(), 1);
        ASSERT_TRUE(fake_.PostNotice(marker->deviceId(), MCI_NOTIFY_SUCCESSFUL));
        ASSERT_TRUE(WaitUntil([marker] { return !marker->IsPlaying(); }));
    }

    CFakeMCIBackend fake_;
    std::unique_ptr<CMCIMusic> music_;
};

TEST_F(FakeSoundTest, OpenPlayStopCloseIssueTheirCommands) {
    CMCIMusicFile* file = music_->OpenFile("a.wav");
    ASSERT_NE(file, nullptr);
    const uint32_t device = file->deviceId();
    EXPECT_EQ(file->length(), 300u);
    EXPECT_EQ(file->flags(), CMCIMusicFile::kOpen);
    std::vector<Call> calls = fake_.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].command, static_cast<uint32_t>(MCI_OPEN));
    EXPECT_EQ(calls[0].deviceId, 0u);
    EXPECT_EQ(calls[0].flags, kOpenFlags);
    EXPECT_EQ(calls[0].element, "a.wav");
    EXPECT_EQ(calls[0].alias, "a.wav");
    EXPECT_EQ(calls[0].type, "");
    EXPECT_EQ(calls[1].command, static_cast<uint32_t>(MCI_STATUS));
    EXPECT_EQ(calls[1].deviceId, device);
    EXPECT_EQ(calls[1].flags, kStatusFlags);
    EXPECT_EQ(calls[1].item, static_cast<uint32_t>(MCI_STATUS_LENGTH));

    fake_.ClearRecords();
    EXPECT_EQ(file->Play(), 1);
    EXPECT_EQ(file->flags(), CMCIMusicFile::kOpen | CMCIMusicFile::kPlaying);
    EXPECT_EQ(file->Play(), 1) << "a play while playing starts again";
    EXPECT_EQ(file->Stop(), 1);
    EXPECT_EQ(file->flags(), CMCIMusicFile::kOpen);
    EXPECT_EQ(file->Stop(), 0);
    calls = fake_.Calls();
    ASSERT_EQ(calls.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(calls[i].command, static_cast<uint32_t>(MCI_PLAY));
        EXPECT_EQ(calls[i].deviceId, device);
        EXPECT_EQ(calls[i].flags, kPlayFlags);
        EXPECT_EQ(calls[i].callback, reinterpret_cast<uintptr_t>(music_->window()));
        EXPECT_EQ(calls[i].from, 0u);
        EXPECT_EQ(calls[i].to, 300u);
    }
    EXPECT_EQ(calls[2].command, static_cast<uint32_t>(MCI_STOP));
    EXPECT_EQ(calls[2].flags, static_cast<uint32_t>(MCI_WAIT));
    EXPECT_FALSE(calls[2].hasParams);

    fake_.ClearRecords();
    EXPECT_EQ(music_->CloseFile(file), 1);
    EXPECT_TRUE(music_->files().empty());
    calls = fake_.Calls();
    // Close, then the destruction's close: stop and close twice, the second
    // pair for device 0 (nothing held any more).
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].command, static_cast<uint32_t>(MCI_STOP));
    EXPECT_EQ(calls[1].command, static_cast<uint32_t>(MCI_CLOSE));
    EXPECT_EQ(calls[1].deviceId, device);
    EXPECT_EQ(calls[3].deviceId, 0u);
    EXPECT_TRUE(fake_.OpenAliases().empty());
}

TEST_F(FakeSoundTest, PlayerOutsideTheServiceFollowsItsStates) {
    CMCIMusicFile file(music_.get(), music_->window());
    EXPECT_EQ(file.flags(), 0u);
    EXPECT_EQ(file.deviceId(), 0u);
    EXPECT_EQ(file.length(), 0u);
    EXPECT_EQ(file.Play(), 0);
    EXPECT_EQ(file.Stop(), 0);
    EXPECT_TRUE(fake_.Calls().empty()) << "a player that is not open issued a command";

    EXPECT_EQ(file.Open("missing.wav"), 0);
    EXPECT_EQ(file.flags(), 0u);
    EXPECT_EQ(file.deviceId(), 0u);

    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(file.flags(), 0u);
    EXPECT_EQ(file.Close(), 1);

    ASSERT_EQ(file.Open("b.wav"), 1);
    EXPECT_EQ(file.length(), 700u);
    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(file.flags(), 0u);
    EXPECT_EQ(file.deviceId(), 0u);
    EXPECT_EQ(file.length(), 700u) << "close keeps the length";
}

TEST_F(FakeSoundTest, PathsTooLongForTheAliasNeverReachTheMediaLayer) {
    const std::string longest(259, 'x');
    fake_.AddFile(longest, 10);
    CMCIMusicFile* file = music_->OpenFile(longest.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(fake_.Calls().front().alias, longest);
    EXPECT_EQ(music_->OpenFile(longest.c_str()), nullptr) << "alias in use";

    for (std::size_t bytes : {std::size_t{260}, std::size_t{2047}}) {
        const std::string path(bytes, 'y');
        fake_.AddFile(path, 10);
        fake_.ClearRecords();
        EXPECT_EQ(music_->OpenFile(path.c_str()), nullptr);
        for (const Call& call : fake_.Calls()) {
            EXPECT_NE(call.command, static_cast<uint32_t>(MCI_OPEN)) << bytes;
        }
    }
    EXPECT_EQ(music_->files().size(), 1u);
}

TEST_F(FakeSoundTest, OnlySuccessfulNoticesForAKnownDeviceEndAPlay) {
    CMCIMusicFile* a = music_->OpenFile("a.wav");
    CMCIMusicFile* b = music_->OpenFile("b.wav");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(a->Play(), 1);
    for (uint32_t code : {MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_ABORTED, MCI_NOTIFY_FAILURE}) {
        NoticeThenFlush(a->deviceId(), code, b);
        EXPECT_TRUE(a->IsPlaying()) << "code " << code;
    }
    NoticeThenFlush(0xBEEF, MCI_NOTIFY_SUCCESSFUL, b);
    EXPECT_TRUE(a->IsPlaying());

    // The end of a's play: a stop straight from the service thread, then Open.
    fake_.ClearRecords();
    ASSERT_TRUE(fake_.PostNotice(a->deviceId(), MCI_NOTIFY_SUCCESSFUL));
    ASSERT_TRUE(WaitUntil([a] { return !a->IsPlaying(); }));
    EXPECT_EQ(a->flags(), CMCIMusicFile::kOpen);
    const std::vector<Call> calls = fake_.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, static_cast<uint32_t>(MCI_STOP));
    EXPECT_EQ(calls[0].deviceId, a->deviceId());
    EXPECT_EQ(a->Stop(), 0);
    EXPECT_EQ(fake_.Calls().size(), 1u);
}

TEST_F(FakeSoundTest, NoticesReachTheirPlayerWhateverTheListOrder) {
    CMCIMusicFile* a = music_->OpenFile("a.wav");
    CMCIMusicFile* b = music_->OpenFile("b.wav");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    for (auto [ends, plays] : {std::pair{b, a}, std::pair{a, b}}) {
        ASSERT_EQ(ends->Play(), 1);
        ASSERT_EQ(plays->Play(), 1);
        ASSERT_TRUE(fake_.PostNotice(ends->deviceId(), MCI_NOTIFY_SUCCESSFUL));
        ASSERT_TRUE(WaitUntil([ends] { return !ends->IsPlaying(); }));
        EXPECT_TRUE(plays->IsPlaying());
        ASSERT_TRUE(fake_.PostNotice(plays->deviceId(), MCI_NOTIFY_SUCCESSFUL));
        ASSERT_TRUE(WaitUntil([plays] { return !plays->IsPlaying(); }));
    }
}

TEST_F(FakeSoundTest, CloseFileTakesPlayersOffTheListOrJustDestroysStrangers) {
    CMCIMusicFile* a = music_->OpenFile("a.wav");
    CMCIMusicFile* b = music_->OpenFile("b.wav");
    ASSERT_NE(b, nullptr);
    auto* stranger = new CMCIMusicFile(music_.get(), music_->window());
    fake_.AddFile("c.wav", 5);
    ASSERT_EQ(stranger->Open("c.wav"), 1);

    EXPECT_EQ(music_->CloseFile(stranger), 1);  // destroys it
    EXPECT_EQ(music_->files(), (std::vector<CMCIMusicFile*>{a, b}));
    EXPECT_EQ(music_->CloseFile(a), 1);
    EXPECT_EQ(music_->files(), (std::vector<CMCIMusicFile*>{b}));
    EXPECT_EQ(music_->CloseFile(nullptr), 1);
    EXPECT_EQ(fake_.OpenAliases(), (std::vector<std::string>{"b.wav"}));
}

TEST_F(FakeSoundTest, DestructionClosesEveryPlayerBeforeTheThreadEnds) {
    CMCIMusicFile* a = music_->OpenFile("a.wav");
    CMCIMusicFile* b = music_->OpenFile("b.wav");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(a->Play(), 1);
    const uint32_t aId = a->deviceId();
    const uint32_t bId = b->deviceId();
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, music_->threadId());
    ASSERT_NE(thread, nullptr);
    fake_.ClearRecords();
    music_.reset();
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_TRUE(fake_.OpenAliases().empty());
    const std::vector<Call> calls = fake_.Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0].deviceId, aId) << "players close front to back";
    EXPECT_EQ(calls[1].command, static_cast<uint32_t>(MCI_CLOSE));
    EXPECT_EQ(calls[1].deviceId, aId);
    EXPECT_EQ(fake_.CallsFor(bId).size(), 2u);
}

TEST_F(FakeSoundTest, PlayersComeAndGoWhileNoticesArrive) {
    // Notices are routed on the service thread while the list changes here.
    CMCIMusicFile* steady = music_->OpenFile("b.wav");
    ASSERT_NE(steady, nullptr);
    ASSERT_EQ(steady->Play(), 1);
    const HWND window = music_->window();
    std::atomic<bool> done{false};
    std::thread notifier([&] {
        for (uint32_t i = 0; !done.load(); ++i) {
            PostMessageA(window, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 1 + i % 8);
            if (i % 64 == 0) Sleep(1);
        }
    });
    constexpr int kRounds = 300;
    for (int i = 0; i < kRounds; ++i) {
        CMCIMusicFile* file = music_->OpenFile("a.wav");
        ASSERT_NE(file, nullptr);
        file->Play();
        file->Stop();
        file->Play();
        EXPECT_EQ(music_->CloseFile(file), 1);
    }
    done.store(true);
    notifier.join();
    EXPECT_EQ(music_->files(), (std::vector<CMCIMusicFile*>{steady}));
    EXPECT_EQ(fake_.OpenAliases(), (std::vector<std::string>{"b.wav"}));
    ASSERT_TRUE(fake_.PostNotice(steady->deviceId(), MCI_NOTIFY_SUCCESSFUL));
    EXPECT_TRUE(WaitUntil([steady] { return !steady->IsPlaying(); }));
}

// A back end whose stops, once told, never come back until let go: what
// Wine's wave driver does to a play whose sound server went away.
class CStopHangsBackend : public CFakeMCIBackend {
public:
    CStopHangsBackend() : release_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CStopHangsBackend() override { CloseHandle(release_); }
    void HangStops() { hang_ = true; }
    void LetGo() { SetEvent(release_); }
    bool StopReturned() const { return returned_; }

    uint32_t SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                         void* params) override {
        const bool hangs = command == MCI_STOP && hang_.exchange(false);
        if (hangs) WaitForSingleObject(release_, INFINITE);
        const uint32_t result = CFakeMCIBackend::SendCommand(deviceId, command, flags, params);
        if (hangs) returned_ = true;
        return result;
    }

private:
    HANDLE release_;
    std::atomic<bool> hang_{false};
    std::atomic<bool> returned_{false};
};

TEST(FakeSoundStuckTest, AStopThatNeverReturnsStopsTheServiceNotItsCallers) {
    CStopHangsBackend backend;
    backend.AddFile("a.wav", 300);
    auto music = std::make_unique<CMCIMusic>(nullptr, &backend);
    CMCIMusicFile* file = music->OpenFile("a.wav");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->Play(), 1);
    EXPECT_FALSE(music->stuck());

    backend.HangStops();
    EXPECT_EQ(file->Stop(), 1) << "the stop gives up waiting";
    EXPECT_TRUE(music->stuck());
    const std::size_t reached = backend.Calls().size();
    // Each of these would otherwise queue behind the stop for ever.
    EXPECT_EQ(file->Play(), 1);
    EXPECT_EQ(music->CloseFile(file), 1);
    EXPECT_EQ(music->OpenFile("a.wav"), nullptr);
    EXPECT_EQ(backend.Calls().size(), reached) << "nothing reaches the back end once stuck";
    music.reset();  // leaves the stuck thread behind

    backend.LetGo();
    EXPECT_TRUE(WaitUntil([&backend] { return backend.StopReturned(); }));
}

HANDLE NoThread(LPTHREAD_START_ROUTINE, void*, DWORD* threadId) {
    *threadId = 0;
    return nullptr;
}

TEST(FakeSoundStartTest, WithoutAThreadCommandsFailAndTeardownCopes) {
    CFakeMCIBackend fake;
    fake.AddFile("a.wav", 300);
    fake.AddCdDrive('d', true, true);
    {
        CMCIMusic music(nullptr, &fake, &NoThread);
        EXPECT_FALSE(music.hasThread());
        EXPECT_EQ(music.threadId(), 0u);
        EXPECT_EQ(music.window(), nullptr);
        EXPECT_EQ(music.cd(), nullptr);
        MCICommand command{0, MCI_STATUS, kStatusFlags, nullptr, 0};
        EXPECT_EQ(music.SendCommand(command), kMCICommandNotDelivered);
        EXPECT_EQ(music.OpenFile("a.wav"), nullptr);
        EXPECT_TRUE(music.files().empty());
    }
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_TRUE(fake.DriveQueries().empty());
}

TEST(FakeSoundStartTest, WithoutAWindowCommandsFailAndTeardownCopes) {
    // A window that no longer exists: the hidden window cannot be created.
    const HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    CFakeMCIBackend fake;
    fake.AddFile("a.wav", 300);
    fake.AddCdDrive('d', true, true);
    {
        CMCIMusic music(gone, &fake);
        ASSERT_EQ(music.window(), nullptr);
        ASSERT_NE(music.cd(), nullptr);
        EXPECT_STREQ(music.cd()->rootPath(), "") << "no command reached the drive";
        EXPECT_EQ(music.OpenFile("a.wav"), nullptr);
        EXPECT_TRUE(music.files().empty());
    }
    EXPECT_TRUE(fake.Calls().empty());
}

}  // namespace
