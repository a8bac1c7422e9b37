// The player control beside each grid: one Play button that opens, plays and rewinds a
// recording through a MediaService. The button's state follows the recording by itself
// (enabled only while a recording is open and not playing); the window only names the file
// and opens it.
#pragma once

#include "media_service.h"

#include <QString>
#include <QWidget>

class MediaPlayer : public QWidget
{
    Q_OBJECT

public:
    enum class State { Empty, Ready, Playing };

    explicit MediaPlayer(MediaService &service, QWidget *parent = nullptr);
    ~MediaPlayer() override;

    QString FileName() const { return m_fileName; }
    // Only stores the name: what is open stays open, and playable, until the next open().
    void setFileName(const QString &fileName) { m_fileName = fileName; }

    // Closes what is open, then opens FileName. Throws EMCIDeviceError when the service
    // refuses; the player then holds nothing.
    void open();
    void close();

    // The Play button's action: rewinds a recording that stands at its end, then plays it.
    // Throws EMCIDeviceError with nothing open, or when the service refuses to play.
    void play();

    State state() const;
    bool isPlayEnabled() const { return m_playEnabled; }
    // The result of the last request to the service.
    MediaError error() const { return m_error; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void click();
    void endNotice();
    void setPlayEnabled(bool enabled);
    [[noreturn]] void raise(MediaError error);

    MediaService &m_service;
    QString m_fileName;
    MediaDevice m_device = 0;
    MediaError m_error = MediaError::None;
    bool m_playEnabled = false;
    bool m_pressed = false;
    bool m_pointerInside = false;
};
