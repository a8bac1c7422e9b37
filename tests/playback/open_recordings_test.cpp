#include "emci_device_error.h"
#include "fake_media_service.h"
#include "media_player.h"
#include "minor_keys.h"
#include "open_recordings.h"
#include "recording_names.h"

#include <gtest/gtest.h>

namespace {

using State = MediaPlayer::State;

class OpenRecordingsTest : public testing::Test
{
protected:
    OpenRecordingsTest()
    {
        for (const MinorKey &key : MinorKeys) {
            for (ScaleForm form : ScaleForms)
                service.files.insert(*RecordingName(key.KeyIndex, form));
        }
    }

    std::string openOf(int player) const
    {
        const MediaDevice device = [&] {
            for (const auto &[id, d] : service.devices) {
                if (d.fileName == players[player]->FileName().toStdString())
                    return id;
            }
            return 0;
        }();
        return players[player]->state() == State::Empty ? "" : service.devices.at(device).fileName;
    }

    std::string failure(std::int32_t keyIndex)
    {
        try {
            OpenRecordings(keyIndex, players);
        } catch (const EMCIDeviceError &error) {
            return error.what();
        }
        return {};
    }

    FakeMediaService service;
    MediaPlayer p1{service}, p2{service}, p3{service};
    std::array<MediaPlayer *, 3> players{&p1, &p2, &p3};
};

TEST_F(OpenRecordingsTest, NamesAllThreeBeforeOpeningThemInOrder)
{
    EXPECT_EQ(failure(10), "");
    EXPECT_EQ(service.log, (std::vector<std::string>{"open Re Prim.MID", "open Re Harm.MID",
                                                     "open Re Mel.MID"}));
    for (MediaPlayer *player : players)
        EXPECT_EQ(player->state(), State::Ready);
}

TEST_F(OpenRecordingsTest, TheSameKeyAgainClosesAndReopensEveryPlayer)
{
    failure(11);
    p1.play();
    service.log.clear();
    EXPECT_EQ(failure(11), "");
    EXPECT_EQ(service.log.size(), 6u);
    EXPECT_EQ(p1.state(), State::Ready) << "the playing recording was closed and reopened";
}

TEST_F(OpenRecordingsTest, AllMissingReportsEachAndLeavesEveryPlayerEmpty)
{
    service.files.clear();
    EXPECT_EQ(failure(11), "erro 1 em La Prim.MID\nerro 1 em La Harm.MID\nerro 1 em La Mel.MID");
    for (MediaPlayer *player : players)
        EXPECT_EQ(player->state(), State::Empty);
}

TEST_F(OpenRecordingsTest, OneMissingRecordingLeavesNoPlayerOnTheOldKey)
{
    failure(11);
    service.files.erase("Sol Harm.MID");
    EXPECT_EQ(failure(9), "erro 1 em Sol Harm.MID");
    EXPECT_EQ(openOf(0), "Sol Prim.MID");
    EXPECT_EQ(p2.state(), State::Empty);
    EXPECT_FALSE(p2.isPlayEnabled());
    EXPECT_EQ(openOf(2), "Sol Mel.MID");
}

TEST_F(OpenRecordingsTest, AKeyIndexOfNoKeySetsNoName)
{
    for (MediaPlayer *player : players)
        player->setFileName("La Prim.MID");
    failure(0);
    for (MediaPlayer *player : players)
        EXPECT_EQ(player->FileName(), "La Prim.MID");
}

} // namespace
