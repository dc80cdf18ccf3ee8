// The drive scan of the CD-audio unit, against the recording back end.
#include "sound/cd_audio.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <string>

#include "sound/fake_mci_backend.h"
#include "sound/mci_music.h"

namespace {

using Call = CFakeMCIBackend::Call;

constexpr uint32_t kCdOpenFlags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE | MCI_WAIT;

std::vector<std::string> Roots(char last) {
    std::vector<std::string> roots;
    for (char letter = 'a'; letter <= last; ++letter) roots.push_back(std::string{letter, ':'});
    return roots;
}

void ExpectOpen(const Call& call, const std::string& root) {
    EXPECT_EQ(call.command, static_cast<uint32_t>(MCI_OPEN));
    EXPECT_EQ(call.deviceId, 0u);
    EXPECT_EQ(call.flags, kCdOpenFlags);
    EXPECT_EQ(call.type, "cdaudio");
    EXPECT_EQ(call.element, root);
}

void ExpectStatus(const Call& call, uint32_t item) {
    EXPECT_EQ(call.command, static_cast<uint32_t>(MCI_STATUS));
    EXPECT_EQ(call.flags, static_cast<uint32_t>(MCI_STATUS_ITEM | MCI_WAIT));
    EXPECT_EQ(call.item, item);
    EXPECT_EQ(call.track, 0u);
}

void ExpectClose(const Call& call, uint32_t deviceId) {
    EXPECT_EQ(call.command, static_cast<uint32_t>(MCI_CLOSE));
    EXPECT_EQ(call.deviceId, deviceId);
    EXPECT_EQ(call.flags, static_cast<uint32_t>(MCI_WAIT));
    EXPECT_FALSE(call.hasParams);
}

TEST(CdAudioTest, NoCdDriveMeansTwentySixQueriesAndNoMediaCommand) {
    CFakeMCIBackend fake;
    fake.SetDriveType('c', DRIVE_FIXED);
    fake.SetDriveType('z', DRIVE_REMOTE);
    CMCIMusic music(nullptr, &fake);
    ASSERT_NE(music.cd(), nullptr);
    EXPECT_EQ(fake.DriveQueries(), Roots('z'));
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_STREQ(music.cd()->rootPath(), "");
    EXPECT_EQ(music.cd()->deviceId(), 0u);
}

TEST(CdAudioTest, DriveWithoutADiscIsOpenedAskedOnceClosedAndSkipped) {
    CFakeMCIBackend fake;
    fake.AddCdDrive('d', false, true);
    CMCIMusic music(nullptr, &fake);
    const std::vector<Call> calls = fake.Calls();
    ASSERT_EQ(calls.size(), 3u);
    ExpectOpen(calls[0], "d:");
    ExpectStatus(calls[1], MCI_STATUS_MEDIA_PRESENT);
    EXPECT_NE(calls[1].deviceId, 0u);
    ExpectClose(calls[2], calls[1].deviceId);
    EXPECT_EQ(fake.DriveQueries(), Roots('z'));
    EXPECT_STREQ(music.cd()->rootPath(), "");
    EXPECT_EQ(music.cd()->deviceId(), 0u);
    EXPECT_TRUE(fake.OpenAliases().empty());
}

TEST(CdAudioTest, DriveThatIsNotReadyOrDoesNotOpenIsSkipped) {
    CFakeMCIBackend fake;
    fake.AddBrokenCdDrive('d');
    fake.AddCdDrive('e', true, false);
    CMCIMusic music(nullptr, &fake);
    const std::vector<Call> calls = fake.Calls();
    ASSERT_EQ(calls.size(), 5u);
    ExpectOpen(calls[0], "d:");  // refused: nothing held, nothing closed
    ExpectOpen(calls[1], "e:");
    ExpectStatus(calls[2], MCI_STATUS_MEDIA_PRESENT);
    ExpectStatus(calls[3], MCI_STATUS_READY);
    ExpectClose(calls[4], calls[2].deviceId);
    EXPECT_STREQ(music.cd()->rootPath(), "");
    EXPECT_TRUE(fake.OpenAliases().empty());
}

TEST(CdAudioTest, OfTwoReadyDrivesTheEarlierLetterWins) {
    CFakeMCIBackend fake;
    fake.AddCdDrive('g', true, true);
    fake.AddCdDrive('e', true, true);
    CMCIMusic music(nullptr, &fake);
    EXPECT_STREQ(music.cd()->rootPath(), "e:");
    EXPECT_EQ(music.cd()->deviceId(), 0u);
    EXPECT_EQ(fake.DriveQueries(), Roots('e')) << "the scan stops at the drive found";
    const std::vector<Call> calls = fake.Calls();
    ASSERT_EQ(calls.size(), 4u);
    ExpectOpen(calls[0], "e:");
    ExpectStatus(calls[1], MCI_STATUS_MEDIA_PRESENT);
    ExpectStatus(calls[2], MCI_STATUS_READY);
    ExpectClose(calls[3], calls[1].deviceId);
    EXPECT_TRUE(fake.OpenAliases().empty());

    // A unit of its own probes again; destroying it issues nothing.
    fake.ClearRecords();
    {
        CMCIMusicCD unit(&music);
        EXPECT_STREQ(unit.rootPath(), "e:");
        EXPECT_EQ(unit.Probe(), 1);
        fake.ClearRecords();
    }
    EXPECT_TRUE(fake.Calls().empty());
}

}  // namespace
