#include "media_player.h"

#include "emci_device_error.h"

#include <QKeyEvent>
#include <QMetaObject>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleOptionButton>

namespace {

constexpr QSize ButtonSize(29, 30);

QPainterPath playGlyph(const QRect &area)
{
    // A right-pointing triangle, 8 wide and 9 high, centred like the classic player glyph.
    const QPointF centre = QRectF(area).center();
    QPainterPath path;
    path.moveTo(centre + QPointF(-3.5, -4.5));
    path.lineTo(centre + QPointF(4.5, 0));
    path.lineTo(centre + QPointF(-3.5, 4.5));
    path.closeSubpath();
    return path;
}

} // namespace

MediaPlayer::MediaPlayer(MediaService &service, QWidget *parent)
    : QWidget(parent), m_service(service)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    resize(ButtonSize);
}

MediaPlayer::~MediaPlayer()
{
    // A failing close at the end is of no use to anyone: the sound goes with the service.
    if (m_device != 0)
        m_service.close(m_device);
}

MediaPlayer::State MediaPlayer::state() const
{
    if (m_device == 0)
        return State::Empty;
    return m_playEnabled ? State::Ready : State::Playing;
}

void MediaPlayer::open()
{
    close();
    MediaDevice device = 0;
    const MediaError error = m_service.open(m_fileName.toStdString(), device);
    m_error = error;
    if (error != MediaError::None)
        raise(error);
    m_device = device;
    setPlayEnabled(m_service.canPlay(m_device) && m_service.mode(m_device) != MediaMode::Playing);
}

void MediaPlayer::close()
{
    if (m_device == 0)
        return;
    // A close the service refuses is not reported; the player lets go of the device anyway so
    // that the next open can go on.
    m_error = m_service.close(m_device);
    m_device = 0;
    setPlayEnabled(false);
}

void MediaPlayer::play()
{
    if (m_device == 0)
        throw EMCIDeviceError("No MCI device open");
    if (m_service.position(m_device) == m_service.length(m_device)) {
        m_error = m_service.seekToStart(m_device);
        if (m_error != MediaError::None)
            raise(m_error);
    }
    QPointer<MediaPlayer> self(this);
    m_error = m_service.play(m_device, [self] {
        if (self)
            self->endNotice();
    });
    // A refused play leaves the player ready, but the user must learn why nothing sounds.
    if (m_error != MediaError::None)
        raise(m_error);
    setPlayEnabled(false);
}

void MediaPlayer::endNotice()
{
    // The notice may belong to a recording that has since been replaced: only the mode of what
    // is open now counts.
    if (m_device != 0 && m_service.mode(m_device) == MediaMode::Stopped)
        setPlayEnabled(m_service.canPlay(m_device));
}

void MediaPlayer::click()
{
    // Played from a posted call so that an error surfaces from the event loop itself rather
    // than from inside the toolkit's input handling.
    QMetaObject::invokeMethod(this, &MediaPlayer::play, Qt::QueuedConnection);
}

void MediaPlayer::setPlayEnabled(bool enabled)
{
    if (m_playEnabled == enabled)
        return;
    m_playEnabled = enabled;
    if (!enabled)
        m_pressed = false;
    update();
}

void MediaPlayer::raise(MediaError error)
{
    m_error = error;
    const auto text = m_service.errorText(error, m_fileName.toStdString());
    throw EMCIDeviceError(text.value_or("Unknown error code"));
}

QSize MediaPlayer::sizeHint() const
{
    return ButtonSize;
}

QSize MediaPlayer::minimumSizeHint() const
{
    return ButtonSize;
}

void MediaPlayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= (m_pressed && m_pointerInside) ? QStyle::State_Sunken : QStyle::State_Raised;
    if (!m_playEnabled)
        option.state &= ~QStyle::State_Enabled;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, this);

    QRect glyphArea = rect();
    if (option.state & QStyle::State_Sunken)
        glyphArea.translate(1, 1);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath glyph = playGlyph(glyphArea);
    if (m_playEnabled) {
        painter.setPen(QPen(QColor(0, 64, 0), 1));
        painter.setBrush(QColor(0, 160, 0));
        painter.drawPath(glyph);
    } else {
        // The classic engraved look of a disabled glyph: a light copy under a grey one.
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Light));
        painter.drawPath(glyph.translated(1, 1));
        painter.setBrush(palette().color(QPalette::Disabled, QPalette::ButtonText));
        painter.drawPath(glyph);
    }

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void MediaPlayer::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_playEnabled) {
        event->ignore();
        return;
    }
    m_pressed = true;
    m_pointerInside = true;
    update();
}

void MediaPlayer::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != m_pointerInside) {
        m_pointerInside = inside;
        update();
    }
}

void MediaPlayer::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    update();
    if (rect().contains(event->position().toPoint()))
        click();
}

void MediaPlayer::keyPressEvent(QKeyEvent *event)
{
    // Space is a click even while Play shows disabled: that is how "nothing open" is reported.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QWidget::keyPressEvent(event);
}
