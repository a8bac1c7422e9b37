#include "captured_errors.h"
#include "emci_device_error.h"
#include "fake_media_service.h"
#include "media_player.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using State = MediaPlayer::State;

class MediaPlayerTest : public testing::Test
{
protected:
    MediaPlayerTest()
    {
        CapturedErrors().clear();
        service.files = {"La Prim.MID", "Mi Prim.MID"};
        player.setFileName("La Prim.MID");
    }

    static void deliverPosted() { QCoreApplication::sendPostedEvents(); }

    void clickWithMouse()
    {
        QTest::mouseClick(&player, Qt::LeftButton, {}, QPoint(14, 15));
        deliverPosted();
    }

    void pressSpace()
    {
        QTest::keyClick(&player, Qt::Key_Space);
        deliverPosted();
    }

    int plays() const
    {
        return static_cast<int>(
            std::count_if(service.log.begin(), service.log.end(),
                          [](const std::string &line) { return line.starts_with("play"); }));
    }

    FakeMediaService service;
    MediaPlayer player{service};
};

TEST_F(MediaPlayerTest, StartsEmptyIgnoresClicksAndSpaceReportsNothingOpen)
{
    EXPECT_EQ(player.state(), State::Empty);
    EXPECT_FALSE(player.isPlayEnabled());
    clickWithMouse();
    EXPECT_TRUE(CapturedErrors().empty());
    pressSpace();
    EXPECT_EQ(CapturedErrors(), std::vector<std::string>{"No MCI device open"});
    EXPECT_EQ(plays(), 0);
}

TEST_F(MediaPlayerTest, ClickPlaysAndTheEndNoticeEnablesPlayAgain)
{
    player.open();
    EXPECT_EQ(player.state(), State::Ready);
    clickWithMouse();
    EXPECT_EQ(player.state(), State::Playing);
    EXPECT_EQ(plays(), 1);

    clickWithMouse(); // ignored while playing
    EXPECT_EQ(plays(), 1);

    service.finish(service.deviceOf("La Prim.MID"));
    deliverPosted();
    EXPECT_EQ(player.state(), State::Ready);
    EXPECT_TRUE(CapturedErrors().empty());
}

TEST_F(MediaPlayerTest, RewindsOnlyARecordingThatRanToItsEnd)
{
    player.open();
    const MediaDevice device = service.deviceOf("La Prim.MID");
    player.play();
    service.finish(device);
    deliverPosted();
    service.log.clear();

    player.play(); // at its end: rewound first
    EXPECT_EQ(service.log, (std::vector<std::string>{"seek " + std::to_string(device),
                                                     "play " + std::to_string(device)}));

    service.devices[device].mode = MediaMode::Stopped; // stopped short of the end
    service.devices[device].position = 40;
    service.log.clear();
    player.play();
    EXPECT_EQ(service.log, std::vector<std::string>{"play " + std::to_string(device)});
}

TEST_F(MediaPlayerTest, ANoticeForAReplacedRecordingLooksOnlyAtTheNewOne)
{
    player.open();
    player.play();
    player.setFileName("Mi Prim.MID");
    player.open(); // closing the first posts its notice
    const MediaDevice second = service.deviceOf("Mi Prim.MID");
    player.play();
    ASSERT_EQ(player.state(), State::Playing);

    deliverPosted();
    EXPECT_EQ(player.state(), State::Playing) << "the old notice must not enable Play";

    service.finish(second);
    deliverPosted();
    EXPECT_EQ(player.state(), State::Ready);
}

TEST_F(MediaPlayerTest, SettingTheNameKeepsTheOpenRecordingPlayable)
{
    player.open();
    player.setFileName("Mi Prim.MID");
    EXPECT_EQ(player.state(), State::Ready);
    player.play();
    EXPECT_EQ(service.log.back(), "play " + std::to_string(service.deviceOf("La Prim.MID")));
}

TEST_F(MediaPlayerTest, RequestFailuresAndTheMessagesTheyRaise)
{
    struct Case
    {
        const char *what;
        std::function<void(FakeMediaService &)> arrange;
        std::function<void(MediaPlayer &)> act;
        std::string message; // empty: no error
        State after;
    };
    const Case cases[] = {
        {"missing file", [](FakeMediaService &) {},
         [](MediaPlayer &p) {
             p.setFileName("Sol Prim.MID");
             p.open();
         },
         "erro 1 em Sol Prim.MID", State::Empty},
        {"damaged file",
         [](FakeMediaService &s) { s.failures["La Prim.MID"] = MediaError::NotMidiFile; },
         [](MediaPlayer &p) { p.open(); }, "erro 2 em La Prim.MID", State::Empty},
        {"code without text",
         [](FakeMediaService &s) {
             s.knowsErrorTexts = false;
             s.failures["La Prim.MID"] = MediaError{999};
         },
         [](MediaPlayer &p) { p.open(); }, "Unknown error code", State::Empty},
        {"refused play", [](FakeMediaService &s) { s.playResult = MediaError::NoAudioOutput; },
         [](MediaPlayer &p) {
             p.open();
             p.play();
         },
         "erro 5 em La Prim.MID", State::Ready},
        {"refused close", [](FakeMediaService &s) { s.closeResult = MediaError::NoDevice; },
         [](MediaPlayer &p) {
             p.open();
             p.setFileName("Mi Prim.MID");
             p.open();
         },
         "", State::Ready},
        {"play with nothing open", [](FakeMediaService &) {}, [](MediaPlayer &p) { p.play(); },
         "No MCI device open", State::Empty},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeMediaService service;
        service.files = {"La Prim.MID", "Mi Prim.MID"};
        c.arrange(service);
        MediaPlayer player(service);
        player.setFileName("La Prim.MID");
        std::string message;
        try {
            c.act(player);
        } catch (const EMCIDeviceError &error) {
            message = error.what();
        }
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(player.state(), c.after);
        EXPECT_EQ(player.isPlayEnabled(), c.after == State::Ready);
    }
}

TEST_F(MediaPlayerTest, AFailedOpenClosesWhatWasOpenFirst)
{
    player.open();
    const MediaDevice first = service.deviceOf("La Prim.MID");
    player.setFileName("Sol Prim.MID");
    EXPECT_THROW(player.open(), EMCIDeviceError);
    EXPECT_FALSE(service.devices.contains(first));
    EXPECT_EQ(player.state(), State::Empty);
    EXPECT_EQ(player.error(), MediaError::FileNotFound);
}

TEST_F(MediaPlayerTest, DestroyingThePlayerClosesItsRecording)
{
    {
        MediaPlayer other(service);
        other.setFileName("Mi Prim.MID");
        other.open();
        other.play();
        ASSERT_FALSE(service.devices.empty());
    }
    EXPECT_TRUE(service.devices.empty());
    deliverPosted(); // the closed play's notice finds no player and must do nothing
    EXPECT_TRUE(CapturedErrors().empty());
}

TEST_F(MediaPlayerTest, APressReleasedOutsideTheButtonIsNoClick)
{
    player.open();
    QTest::mousePress(&player, Qt::LeftButton, {}, QPoint(14, 15));
    QTest::mouseMove(&player, QPoint(60, 60));
    QTest::mouseRelease(&player, Qt::LeftButton, {}, QPoint(60, 60));
    deliverPosted();
    EXPECT_EQ(plays(), 0);
    QTest::mouseClick(&player, Qt::RightButton, {}, QPoint(14, 15));
    deliverPosted();
    EXPECT_EQ(plays(), 0);
}

} // namespace
