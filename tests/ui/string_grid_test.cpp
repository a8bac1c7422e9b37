// The string grid on its own: which mouse and key actions report a click, how the current
// cell and the range move, how it fits its frame and how it paints.
#include "string_grid.h"
#include "window_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <gtest/gtest.h>

namespace {

using Range = StringGrid::ColumnRange;

class GridTest : public testing::Test
{
protected:
    void SetUp() override
    {
        host.resize(990, 110);
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
        makeControls();
    }

    // A fresh grid, focused, and a line edit to take the focus away from it.
    void makeControls()
    {
        delete grid;
        delete other;
        grid = new StringGrid(&host);
        grid->setGeometry(8, 8, 965, 53);
        other = new QLineEdit(&host);
        other->setGeometry(8, 70, 100, 20);
        grid->show();
        other->show();
        grid->setFocus();
        ASSERT_TRUE(grid->hasFocus());
    }

    QWidget *view() const { return grid->viewport(); }

    void clickCell(int column, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(view(), Qt::LeftButton, modifiers, CellCentre(column, 1));
    }

    QWidget host;
    StringGrid *grid = nullptr;
    QLineEdit *other = nullptr;
};

struct MouseCase
{
    const char *name;
    std::function<void(QWidget *view)> act;
    int clicks;
    int current;
    Range range;
};

TEST_F(GridTest, MouseActionsReportAClickOnlyForALeftPressOnANoteCell)
{
    const auto press = [](QWidget *view, int column, int row, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(view, Qt::LeftButton, mods, CellCentre(column, row));
    };
    const auto move = [](QWidget *view, QPoint pos) {
        QTest::mouseMove(view, pos);
    };
    const auto release = [](QWidget *view, QPoint pos) {
        QTest::mouseRelease(view, Qt::LeftButton, {}, pos);
    };
    const MouseCase cases[] = {
        {"left click on a note cell",
         [](QWidget *v) { QTest::mouseClick(v, Qt::LeftButton, {}, CellCentre(5, 1)); },
         1,
         5,
         {5, 5}},
        {"left click on a header cell",
         [](QWidget *v) { QTest::mouseClick(v, Qt::LeftButton, {}, CellCentre(5, 0)); },
         0,
         0,
         {0, 0}},
        {"right click on a note cell",
         [](QWidget *v) { QTest::mouseClick(v, Qt::RightButton, {}, CellCentre(5, 1)); },
         0,
         0,
         {0, 0}},
        {"middle click on a note cell",
         [](QWidget *v) { QTest::mouseClick(v, Qt::MiddleButton, {}, CellCentre(5, 1)); },
         0,
         0,
         {0, 0}},
        {"press on a note cell, release off the grid",
         [&](QWidget *v) {
             press(v, 5, 1);
             move(v, {-40, 120});
             release(v, {-40, 120});
         },
         1,
         5,
         {5, 5}},
        {"drag to the right",
         [&](QWidget *v) {
             press(v, 2, 1);
             move(v, CellCentre(4, 1));
             move(v, CellCentre(6, 1));
             release(v, CellCentre(6, 1));
         },
         1,
         2,
         {2, 6}},
        {"drag to the left",
         [&](QWidget *v) {
             press(v, 6, 1);
             move(v, CellCentre(3, 1));
             release(v, CellCentre(3, 1));
         },
         1,
         6,
         {3, 6}},
        {"drag on into the header row",
         [&](QWidget *v) {
             press(v, 2, 1);
             move(v, CellCentre(4, 1));
             move(v, CellCentre(7, 0));
             release(v, CellCentre(7, 0));
         },
         1,
         2,
         {2, 4}},
        {"click, then shift-click further on",
         [&](QWidget *v) {
             QTest::mouseClick(v, Qt::LeftButton, {}, CellCentre(2, 1));
             QTest::mouseClick(v, Qt::LeftButton, Qt::ShiftModifier, CellCentre(5, 1));
         },
         2,
         2,
         {2, 5}},
        {"double click on a note cell",
         [](QWidget *v) {
             // What a widget receives of a double click: press, release, double click, release.
             QTest::mouseClick(v, Qt::LeftButton, {}, CellCentre(7, 1));
             QTest::mouseDClick(v, Qt::LeftButton, {}, CellCentre(7, 1));
             QTest::mouseRelease(v, Qt::LeftButton, {}, CellCentre(7, 1));
         },
         1,
         7,
         {7, 7}},
        {"wheel over the grid",
         [](QWidget *v) {
             const QPoint pos = CellCentre(4, 1);
             QWheelEvent wheel(pos, v->mapToGlobal(pos), {}, {0, -120}, Qt::NoButton, {},
                               Qt::NoScrollPhase, false);
             QApplication::sendEvent(v, &wheel);
         },
         0,
         0,
         {0, 0}},
    };
    for (const MouseCase &c : cases) {
        SCOPED_TRACE(c.name);
        makeControls();
        QSignalSpy clicks(grid, &StringGrid::clicked);
        c.act(view());
        EXPECT_EQ(clicks.count(), c.clicks);
        EXPECT_EQ(grid->col(), c.current);
        EXPECT_EQ(grid->selection(), c.range);
        EXPECT_TRUE(grid->hasFocus());
    }
}

TEST_F(GridTest, APressGivesTheGridTheFocus)
{
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        for (int row : {0, 1}) {
            other->setFocus();
            QTest::mouseClick(view(), button, {}, CellCentre(3, row));
            EXPECT_TRUE(grid->hasFocus()) << "button " << button << " row " << row;
        }
    }
}

struct KeyCase
{
    const char *name;
    int start;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int current;
    int clicks;
    Range range;
};

TEST_F(GridTest, KeysReportAClickForEachMoveOfTheCurrentCell)
{
    const KeyCase cases[] = {
        {"Left in column 0", 0, Qt::Key_Left, {}, 0, 0, {0, 0}},
        {"Left", 5, Qt::Key_Left, {}, 4, 1, {4, 4}},
        {"Right", 0, Qt::Key_Right, {}, 1, 1, {1, 1}},
        {"Right in column 12", 12, Qt::Key_Right, {}, 12, 0, {12, 12}},
        {"Home", 7, Qt::Key_Home, {}, 0, 1, {0, 0}},
        {"Home in column 0", 0, Qt::Key_Home, {}, 0, 0, {0, 0}},
        {"End", 3, Qt::Key_End, {}, 12, 1, {12, 12}},
        {"End in column 12", 12, Qt::Key_End, {}, 12, 0, {12, 12}},
        {"Ctrl+Left, a page to the left", 9, Qt::Key_Left, Qt::ControlModifier, 0, 1, {0, 0}},
        {"Ctrl+Right, a page to the right", 3, Qt::Key_Right, Qt::ControlModifier, 12, 1, {12, 12}},
        {"Ctrl+Right in column 12", 12, Qt::Key_Right, Qt::ControlModifier, 12, 0, {12, 12}},
        {"Ctrl+Home", 6, Qt::Key_Home, Qt::ControlModifier, 0, 1, {0, 0}},
        {"Ctrl+End", 6, Qt::Key_End, Qt::ControlModifier, 12, 1, {12, 12}},
        {"Shift+Right extends the range", 4, Qt::Key_Right, Qt::ShiftModifier, 5, 1, {4, 5}},
        {"Shift+Home extends the range", 4, Qt::Key_Home, Qt::ShiftModifier, 0, 1, {0, 4}},
        {"Up", 4, Qt::Key_Up, {}, 4, 0, {4, 4}},
        {"Down", 4, Qt::Key_Down, {}, 4, 0, {4, 4}},
        {"Page Up", 4, Qt::Key_PageUp, {}, 4, 0, {4, 4}},
        {"Page Down", 4, Qt::Key_PageDown, {}, 4, 0, {4, 4}},
        {"Ctrl+Down", 4, Qt::Key_Down, Qt::ControlModifier, 4, 0, {4, 4}},
        {"Enter", 4, Qt::Key_Return, {}, 4, 0, {4, 4}},
        {"a typed letter", 4, Qt::Key_A, {}, 4, 0, {4, 4}},
        {"Space", 4, Qt::Key_Space, {}, 4, 0, {4, 4}},
        {"F2", 4, Qt::Key_F2, {}, 4, 0, {4, 4}},
    };
    for (const KeyCase &c : cases) {
        SCOPED_TRACE(c.name);
        clickCell(c.start);
        ASSERT_EQ(grid->col(), c.start);
        QSignalSpy clicks(grid, &StringGrid::clicked);
        QTest::keyClick(grid, c.key, c.modifiers);
        EXPECT_EQ(grid->col(), c.current);
        EXPECT_EQ(clicks.count(), c.clicks);
        EXPECT_EQ(grid->selection(), c.range);
        EXPECT_EQ(grid->cell(c.start, 1), QString()) << "nothing can be edited";
    }
}

TEST_F(GridTest, FocusChangesAndTabReportNoClick)
{
    QSignalSpy clicks(grid, &StringGrid::clicked);
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_TRUE(other->hasFocus()) << "Tab leaves the grid";
    QTest::keyClick(other, Qt::Key_Backtab);
    EXPECT_TRUE(grid->hasFocus());
    other->setFocus();
    grid->setFocus();
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(grid->col(), 0);
}

TEST_F(GridTest, StartsWithTheTonicsNoteCellCurrentAndEmptyCells)
{
    EXPECT_EQ(grid->col(), 0);
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_EQ(grid->selection(), (Range{0, 0}));
    for (int row : {0, 1})
        EXPECT_EQ(RowTexts(*grid, row), QStringList(StringGrid::ColCount, QString()));
}

TEST_F(GridTest, HeaderCellsAreNeverSelectedAndNoCellIsEditable)
{
    QTest::mousePress(view(), Qt::LeftButton, {}, CellCentre(0, 1));
    QTest::mouseMove(view(), CellCentre(12, 1));
    QTest::mouseRelease(view(), Qt::LeftButton, {}, CellCentre(12, 1));
    QTest::mouseClick(view(), Qt::LeftButton, Qt::ShiftModifier, CellCentre(6, 0));

    const QModelIndexList selected = grid->selectionModel()->selectedIndexes();
    EXPECT_EQ(selected.size(), StringGrid::ColCount);
    for (const QModelIndex &index : selected)
        EXPECT_EQ(index.row(), 1);
    for (int column = 0; column < StringGrid::ColCount; ++column) {
        EXPECT_FALSE(grid->item(0, column)->flags() & Qt::ItemIsSelectable);
        for (int row : {0, 1})
            EXPECT_FALSE(grid->item(row, column)->flags() & Qt::ItemIsEditable);
    }
}

TEST_F(GridTest, FitsItsCellsExactlyWithoutScrollBarsOrScrolling)
{
    EXPECT_EQ(grid->frameWidth(), 2);
    EXPECT_EQ(view()->geometry(), QRect(2, 2, 961, 49));
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(grid->verticalScrollBar()->isVisible());
    // The last cell's own pixels end at the view's edge; only its trailing line falls outside.
    EXPECT_EQ(grid->columnViewportPosition(12) + StringGrid::DefaultColWidth, view()->width());
    EXPECT_EQ(grid->rowViewportPosition(1) + StringGrid::DefaultRowHeight, view()->height());

    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    QTest::mouseClick(view(), Qt::LeftButton, {}, CellCentre(12, 1));
    EXPECT_EQ(grid->columnViewportPosition(0), 0);
    EXPECT_EQ(grid->rowViewportPosition(0), 0);
}

TEST_F(GridTest, CellsSpeakWithTheGridsCaptionAndTheirHeading)
{
    grid->setAccessibleCaption(QStringLiteral("Primitiva"));
    grid->setCell(0, 0, QStringLiteral("Tônica"));
    grid->setCell(0, 1, QStringLiteral("Lá"));
    grid->setCell(3, 1, QStringLiteral("Dó"));
    const auto spoken = [this](int column, int row) {
        return grid->item(row, column)->data(Qt::AccessibleTextRole).toString();
    };
    EXPECT_EQ(spoken(0, 1), QStringLiteral("Primitiva, Tônica: Lá"));
    EXPECT_EQ(spoken(0, 0), QStringLiteral("Primitiva, Tônica"));
    EXPECT_EQ(spoken(3, 1), QStringLiteral("Primitiva, Dó"));
    EXPECT_EQ(spoken(5, 1), QStringLiteral("Primitiva"));
    grid->setCell(0, 0, QStringLiteral("1"));
    EXPECT_EQ(spoken(0, 1), QStringLiteral("Primitiva, 1: Lá"));
    EXPECT_EQ(grid->accessibleName(), QStringLiteral("Primitiva"));
}

struct PixelCase
{
    const char *name;
    QPoint pos;
    QRgb color;
};

TEST_F(GridTest, PaintsHeaderFacesWhiteNotesTheRangeAndTheFocusedCurrentCell)
{
    const QRgb buttonFace = grid->palette().color(QPalette::Button).rgb();
    const QRgb white = qRgb(255, 255, 255);
    const QRgb highlight = grid->palette().color(QPalette::Highlight).rgb();
    ASSERT_NE(buttonFace, white);
    ASSERT_NE(highlight, white);
    for (int column = 0; column < StringGrid::ColCount; ++column)
        grid->setCell(column, 0, QString::number(column + 1));
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier); // current 2, range 0..2

    const PixelCase focused[] = {
        {"header face", CellCentre(4, 0), buttonFace},
        {"header raised edge, light at the top", {30, 0}, white},
        {"header raised edge, light at the left", {0, 10}, white},
        {"header raised edge, shadow at the bottom",
         {30, 23},
         grid->palette().color(QPalette::Dark).rgb()},
        {"header raised edge, shadow at the right",
         {72, 10},
         grid->palette().color(QPalette::Dark).rgb()},
        {"line between header cells", {73, 12}, qRgb(0, 0, 0)},
        {"line under the header row", {40, 24}, qRgb(0, 0, 0)},
        {"line between note cells", {73, 37}, qRgb(0xc0, 0xc0, 0xc0)},
        {"note cell outside the range", CellCentre(5, 1), white},
        {"note cell in the range", CellCentre(0, 1), highlight},
        {"focused current cell", CellCentre(2, 1), white},
    };
    QImage image = view()->grab().toImage();
    for (const PixelCase &c : focused) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QColor(image.pixel(c.pos)).name().toStdString(),
                  QColor(c.color).name().toStdString());
    }

    other->setFocus();
    image = view()->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(CellCentre(2, 1))).name().toStdString(),
              QColor(highlight).name().toStdString())
        << "an unfocused grid shows its current cell selected";
}

} // namespace
