#include "open_recordings.h"

#include "emci_device_error.h"
#include "media_player.h"
#include "recording_names.h"

#include <string>

void OpenRecordings(std::int32_t keyIndex, const std::array<MediaPlayer *, 3> &players)
{
    if (RecordingStem(keyIndex)) {
        for (std::size_t i = 0; i < players.size(); ++i)
            players[i]->setFileName(
                QString::fromStdString(*RecordingName(keyIndex, ScaleForms[i])));
    }
    // Every player is opened even after a failure, so none keeps the previous key's recording
    // while the grids already show the new key.
    std::string failures;
    for (MediaPlayer *player : players) {
        try {
            player->open();
        } catch (const EMCIDeviceError &error) {
            if (!failures.empty())
                failures += '\n';
            failures += error.what();
        }
    }
    if (!failures.empty())
        throw EMCIDeviceError(failures);
}
