// The window's look: Qt's "Windows" style, with its raised and sunken edges, in the grey
// colours of the classic desktop, and the hint timings that the grids' hints follow.
#pragma once

#include <QProxyStyle>

class ClassicStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // How long the pointer rests on a grid before its hint shows.
    static constexpr int HintPause = 500;

    ClassicStyle();

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr,
                  const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
    QPalette standardPalette() const override;
};
