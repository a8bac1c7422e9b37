// A scripted MediaService for tests: files "exist" when listed, every request is recorded,
// and the end of a play is delivered when the test says so.
#pragma once

#include "media_service.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <map>
#include <set>
#include <string>
#include <vector>

class FakeMediaService : public MediaService
{
public:
    struct Device
    {
        std::string fileName;
        MediaMode mode = MediaMode::Stopped;
        std::int64_t position = 0;
        std::int64_t length = 100;
        std::function<void()> endNotice;
    };

    // Files that open; any other name gives MediaError::FileNotFound (or what failures says).
    std::set<std::string> files;
    std::map<std::string, MediaError> failures;
    MediaError playResult = MediaError::None;
    MediaError closeResult = MediaError::None;
    bool knowsErrorTexts = true;

    std::map<MediaDevice, Device> devices;
    std::vector<std::string> log; // "open La Prim.MID", "close 1", "play 1", "seek 1"

    MediaError open(const std::string &fileName, MediaDevice &device) override
    {
        log.push_back("open " + fileName);
        if (auto failure = failures.find(fileName); failure != failures.end())
            return failure->second;
        if (!files.contains(fileName))
            return MediaError::FileNotFound;
        device = ++m_lastDevice;
        devices[device].fileName = fileName;
        return MediaError::None;
    }

    MediaError close(MediaDevice device) override
    {
        log.push_back("close " + std::to_string(device));
        if (closeResult != MediaError::None)
            return closeResult;
        auto it = devices.find(device);
        if (it == devices.end())
            return MediaError::NoDevice;
        auto notice = std::move(it->second.endNotice);
        devices.erase(it);
        if (notice)
            post(std::move(notice));
        return MediaError::None;
    }

    MediaError play(MediaDevice device, std::function<void()> endNotice) override
    {
        log.push_back("play " + std::to_string(device));
        if (playResult != MediaError::None)
            return playResult;
        Device &d = devices.at(device);
        if (d.endNotice) // a new play supersedes the running one
            post(std::move(d.endNotice));
        d.mode = MediaMode::Playing;
        d.endNotice = std::move(endNotice);
        return MediaError::None;
    }

    // Lets the device's play run to its end and posts its notice to the UI thread.
    void finish(MediaDevice device)
    {
        Device &d = devices.at(device);
        d.mode = MediaMode::Stopped;
        d.position = d.length;
        if (d.endNotice)
            post(std::move(d.endNotice));
    }

    MediaMode mode(MediaDevice device) const override
    {
        auto it = devices.find(device);
        return it == devices.end() ? MediaMode::NotReady : it->second.mode;
    }
    std::int64_t position(MediaDevice device) const override { return devices.at(device).position; }
    std::int64_t length(MediaDevice device) const override { return devices.at(device).length; }
    MediaError seekToStart(MediaDevice device) override
    {
        log.push_back("seek " + std::to_string(device));
        devices.at(device).position = 0;
        return MediaError::None;
    }
    bool canPlay(MediaDevice device) const override { return devices.contains(device); }

    std::optional<std::string> errorText(MediaError error,
                                         const std::string &fileName) const override
    {
        if (!knowsErrorTexts)
            return std::nullopt;
        return "erro " + std::to_string(static_cast<int>(error)) + " em " + fileName;
    }

    MediaDevice deviceOf(const std::string &fileName) const
    {
        for (const auto &[id, d] : devices) {
            if (d.fileName == fileName)
                return id;
        }
        return 0;
    }

private:
    static void post(std::function<void()> notice)
    {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(notice),
                                  Qt::QueuedConnection);
    }

    MediaDevice m_lastDevice = 0;
};
