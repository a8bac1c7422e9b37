#include "classic_style.h"

#include <QColor>
#include <QPalette>

ClassicStyle::ClassicStyle() : QProxyStyle(QStringLiteral("Windows")) { }

int ClassicStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                            QStyleHintReturn *returnData) const
{
    switch (hint) {
    case SH_ToolTip_WakeUpDelay:
        return HintPause;
    case SH_ToolTip_FallAsleepDelay:
        // Every hint waits the full pause, also when the pointer moves straight from one grid
        // to the next while a hint is still up.
        return 0;
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

QPalette ClassicStyle::standardPalette() const
{
    const QColor buttonFace(0xd4, 0xd0, 0xc8);
    const QColor grayText(0x80, 0x80, 0x80);

    QPalette palette;
    const auto set = [&palette](QPalette::ColorRole role, const QColor &color) {
        palette.setColor(role, color);
    };
    set(QPalette::Window, buttonFace);
    set(QPalette::WindowText, Qt::black);
    set(QPalette::Base, Qt::white);
    set(QPalette::AlternateBase, buttonFace);
    set(QPalette::Text, Qt::black);
    set(QPalette::PlaceholderText, grayText);
    set(QPalette::Button, buttonFace);
    set(QPalette::ButtonText, Qt::black);
    set(QPalette::BrightText, Qt::white);
    set(QPalette::Light, Qt::white);
    set(QPalette::Midlight, buttonFace);
    set(QPalette::Mid, QColor(0xa0, 0xa0, 0xa0));
    set(QPalette::Dark, QColor(0x80, 0x80, 0x80));
    set(QPalette::Shadow, QColor(0x40, 0x40, 0x40));
    set(QPalette::Highlight, QColor(0x0a, 0x24, 0x6a));
    set(QPalette::HighlightedText, Qt::white);
    set(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe1));
    set(QPalette::ToolTipText, Qt::black);
    set(QPalette::Link, Qt::blue);
    set(QPalette::LinkVisited, Qt::darkMagenta);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, grayText);
    palette.setColor(QPalette::Disabled, QPalette::Base, buttonFace);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, grayText);
    return palette;
}
