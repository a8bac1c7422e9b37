// A shown, active main window over a scripted sound system that holds all 45 recordings, and
// the small helpers the window tests share.
#pragma once

#include "fake_media_service.h"
#include "main_window.h"
#include "string_grid.h"

#include <QPoint>
#include <QStringList>

#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Readable failure messages for Qt's strings.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &texts, std::ostream *out)
{
    *out << '{';
    for (const QString &text : texts)
        *out << " \"" << text.toStdString() << '"';
    *out << " }";
}

// Lets posted calls run, as the message loop does after each input.
void Settle();

// Types each character of the text, accented ones included, as key presses on the widget.
void TypeText(QWidget *widget, const QString &text);

// The 13 texts of one row of a grid, column 0 first.
QStringList RowTexts(const StringGrid &grid, int row);

// The centre of a cell in the grid's viewport, where the mouse presses it.
QPoint CellCentre(int column, int row);

class WindowTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The file names opened since the last call, in order.
    std::vector<std::string> takeOpens();

    FakeMediaService service;
    std::unique_ptr<TForm1> window;
};
