// The window's behaviour: start-up, the key change from the list, the header toggle from the
// grids, and errors from the players reaching the error display.
#include "form_pattern.h"
#include "key_combo_box.h"
#include "media_player.h"
#include "scale_rows.h"
#include "shown_errors.h"
#include "window_fixture.h"

#include <QLineEdit>
#include <QTest>

#include <array>
#include <gtest/gtest.h>
#include <set>

namespace {

QStringList Row(std::initializer_list<const char *> texts)
{
    QStringList row;
    for (const char *text : texts)
        row << QString::fromUtf8(text);
    return row;
}

const QStringList EmptyRow(StringGrid::ColCount, QString());

QStringList ModelRow(const ScaleRow &cells)
{
    QStringList row = EmptyRow;
    for (const RowCell &cell : cells)
        row[cell.column] = QString::fromUtf8(cell.text.data(), qsizetype(cell.text.size()));
    return row;
}

class MainWindowTest : public WindowTest
{
protected:
    std::array<StringGrid *, 3> grids() const
    {
        return {window->StringGrid1, window->StringGrid2, window->StringGrid3};
    }
    std::array<MediaPlayer *, 3> players() const
    {
        return {window->MediaPlayer1, window->MediaPlayer2, window->MediaPlayer3};
    }

    // A key press in the list, followed by the key change it posted.
    void pressInList(Qt::Key key)
    {
        QTest::keyClick(window->ComboBox1, key);
        Settle();
    }
    void typeInList(char character)
    {
        QTest::keyClick(window->ComboBox1, character);
        Settle();
    }
    void focusListWithTextSelected()
    {
        window->ComboBox1->setFocus();
        window->ComboBox1->lineEdit()->selectAll();
    }
    void clickNoteCell(StringGrid *grid, int column)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(column, 1));
    }
};

TEST_F(MainWindowTest, StartsWithDegreeNamesEmptyNotesAndNoKey)
{
    EXPECT_EQ(Form1, window.get());
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(RowTexts(*grids()[i], 0), ModelRow(DegreeNameRow(ScaleForms[i])));
        EXPECT_EQ(RowTexts(*grids()[i], 1), EmptyRow);
        EXPECT_EQ(grids()[i]->col(), 0);
        EXPECT_EQ(players()[i]->state(), MediaPlayer::State::Empty);
    }
    EXPECT_EQ(window->StringGrid1->cell(0, 0), QStringLiteral("Tônica"));
    EXPECT_EQ(window->ComboBox1->currentText(), QStringLiteral("Escala Menor"));
    EXPECT_EQ(window->ComboBox1->currentIndex(), -1);
    EXPECT_EQ(KeyIndex, 0);
    EXPECT_TRUE(service.log.empty());
    EXPECT_TRUE(window->StringGrid1->hasFocus());
}

TEST_F(MainWindowTest, ChoosingMiMenorWritesTheThreeNoteRowsThenOpensItsRecordings)
{
    focusListWithTextSelected();
    typeInList('M');

    EXPECT_EQ(window->ComboBox1->currentIndex(), 1);
    EXPECT_EQ(KeyIndex, 12);
    EXPECT_EQ(RowTexts(*window->StringGrid1, 1),
              Row({"Mi", "", "Fá #", "Sol", "", "Lá", "", "Si", "Dó", "", "Ré", "", "Mi"}));
    EXPECT_EQ(RowTexts(*window->StringGrid2, 1),
              Row({"Mi", "", "Fá #", "Sol", "", "Lá", "", "Si", "Dó", "", "", "Ré #", "Mi"}));
    EXPECT_EQ(RowTexts(*window->StringGrid3, 1),
              Row({"Mi", "", "Fá #", "Sol", "", "Lá", "", "Si", "", "Dó #", "", "Ré #", "Mi"}));
    EXPECT_EQ(takeOpens(), (std::vector<std::string>{"Mi Prim.MID", "Mi Harm.MID", "Mi Mel.MID"}));
    for (MediaPlayer *player : players())
        EXPECT_EQ(player->state(), MediaPlayer::State::Ready);
}

TEST_F(MainWindowTest, DownFromThreeToSixChangesTheKeyAndReopensThreeTimes)
{
    focusListWithTextSelected();
    for (int i = 0; i < 4; ++i)
        pressInList(Qt::Key_Down);
    ASSERT_EQ(window->ComboBox1->currentIndex(), 3);
    takeOpens();

    const std::vector<std::string> stems{"Do Sus", "Sol Sus", "Re Sus"};
    for (const std::string &stem : stems) {
        SCOPED_TRACE(stem);
        pressInList(Qt::Key_Down);
        EXPECT_EQ(takeOpens(), (std::vector<std::string>{stem + " Prim.MID", stem + " Harm.MID",
                                                         stem + " Mel.MID"}));
    }
    EXPECT_EQ(KeyIndex, 17);
    EXPECT_EQ(window->StringGrid1->cell(0, 1), QStringLiteral("Ré #"));
}

TEST_F(MainWindowTest, ChangesDeliveredTogetherEachKeepTheirOwnPosition)
{
    focusListWithTextSelected();
    QTest::keyClick(window->ComboBox1, Qt::Key_Down);
    QTest::keyClick(window->ComboBox1, Qt::Key_Down);
    Settle();
    EXPECT_EQ(takeOpens(), (std::vector<std::string>{"La Prim.MID", "La Harm.MID", "La Mel.MID",
                                                     "Mi Prim.MID", "Mi Harm.MID", "Mi Mel.MID"}));
    EXPECT_EQ(KeyIndex, 12);
}

TEST_F(MainWindowTest, AChangeWithNoEntryAfterAKeyRewritesAndReopensTheSameKey)
{
    focusListWithTextSelected();
    typeInList('L');
    ASSERT_EQ(KeyIndex, 11);
    const std::array<QStringList, 3> notes{RowTexts(*window->StringGrid1, 1),
                                           RowTexts(*window->StringGrid2, 1),
                                           RowTexts(*window->StringGrid3, 1)};
    service.log.clear();

    pressInList(Qt::Key_Backspace);

    EXPECT_EQ(window->ComboBox1->currentIndex(), -1);
    EXPECT_EQ(window->ComboBox1->currentText(), QStringLiteral("L"));
    EXPECT_EQ(KeyIndex, 11);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(RowTexts(*grids()[i], 1), notes[i]);
    EXPECT_EQ(service.log,
              (std::vector<std::string>{"close 1", "open La Prim.MID", "close 2",
                                        "open La Harm.MID", "close 3", "open La Mel.MID"}));
}

struct EditCase
{
    const char *name;
    Qt::Key key;
    char character;
};

TEST_F(MainWindowTest, BeforeAnyKeyAnEditThatChoosesNoEntryChangesNothing)
{
    const EditCase cases[] = {
        {"Backspace on the selected text", Qt::Key_Backspace, 0},
        {"a character that completes nothing", Qt::Key_X, 'x'},
        {"Delete", Qt::Key_Delete, 0},
        {"Backspace in the emptied field", Qt::Key_Backspace, 0},
    };
    focusListWithTextSelected();
    for (const EditCase &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.character)
            typeInList(c.character);
        else
            pressInList(c.key);
        EXPECT_EQ(window->ComboBox1->currentIndex(), -1);
        EXPECT_EQ(KeyIndex, 0);
        for (StringGrid *grid : grids())
            EXPECT_EQ(RowTexts(*grid, 1), EmptyRow);
        EXPECT_TRUE(service.log.empty());
        for (MediaPlayer *player : players())
            EXPECT_EQ(player->FileName(), QString());
    }
}

struct ToggleStep
{
    const char *name;
    Qt::Key key;
    bool numbers;
};

TEST_F(MainWindowTest, ArrowKeysRightAfterStartToggleTheFirstGridsHeader)
{
    const ToggleStep steps[] = {
        {"Right", Qt::Key_Right, true},
        {"Left", Qt::Key_Left, false},
        {"Left in column 0", Qt::Key_Left, false},
    };
    for (const ToggleStep &step : steps) {
        SCOPED_TRACE(step.name);
        QTest::keyClick(window->StringGrid1, step.key);
        const ScaleRow header = step.numbers ? DegreeNumberRow(ScaleForm::Primitiva)
                                             : DegreeNameRow(ScaleForm::Primitiva);
        EXPECT_EQ(RowTexts(*window->StringGrid1, 0), ModelRow(header));
        EXPECT_EQ(RowTexts(*window->StringGrid1, 1), EmptyRow);
    }
    EXPECT_EQ(window->StringGrid1->cell(0, 0), QStringLiteral("Tônica"));
}

TEST_F(MainWindowTest, ClicksOnOneGridToggleOnlyItsHeader)
{
    clickNoteCell(window->StringGrid2, 4);
    EXPECT_EQ(RowTexts(*window->StringGrid2, 0), ModelRow(DegreeNumberRow(ScaleForm::Harmonica)));
    clickNoteCell(window->StringGrid2, 9);
    EXPECT_EQ(RowTexts(*window->StringGrid2, 0), ModelRow(DegreeNameRow(ScaleForm::Harmonica)));

    QTest::mouseClick(window->StringGrid3->viewport(), Qt::LeftButton, {}, CellCentre(3, 0));
    QTest::mouseClick(window->StringGrid3->viewport(), Qt::LeftButton, {}, CellCentre(6, 1));
    QTest::mouseDClick(window->StringGrid3->viewport(), Qt::LeftButton, {}, CellCentre(6, 1));
    QTest::mouseRelease(window->StringGrid3->viewport(), Qt::LeftButton, {}, CellCentre(6, 1));
    EXPECT_EQ(RowTexts(*window->StringGrid3, 0), ModelRow(DegreeNumberRow(ScaleForm::Melodica)))
        << "a double click toggles once, a header press not at all";

    EXPECT_EQ(RowTexts(*window->StringGrid1, 0), ModelRow(DegreeNameRow(ScaleForm::Primitiva)));
    for (StringGrid *grid : grids())
        EXPECT_EQ(RowTexts(*grid, 1), EmptyRow);
    EXPECT_EQ(KeyIndex, 0);
}

TEST_F(MainWindowTest, AHeaderShowingNumbersKeepsThemAcrossKeyChanges)
{
    clickNoteCell(window->StringGrid2, 0);
    focusListWithTextSelected();
    typeInList('L');
    pressInList(Qt::Key_Down);

    EXPECT_EQ(KeyIndex, 12);
    EXPECT_EQ(RowTexts(*window->StringGrid2, 0), ModelRow(DegreeNumberRow(ScaleForm::Harmonica)));
    EXPECT_EQ(RowTexts(*window->StringGrid2, 1), ModelRow(NoteRow(ScaleForm::Harmonica, 12)));
    EXPECT_EQ(RowTexts(*window->StringGrid1, 0), ModelRow(DegreeNameRow(ScaleForm::Primitiva)));
}

TEST_F(MainWindowTest, ColumnsOutsideEachFormStayEmptyThroughEveryKeyAndToggle)
{
    focusListWithTextSelected();
    for (int i = 0; i < 15; ++i) {
        pressInList(Qt::Key_Down);
        clickNoteCell(grids()[std::size_t(i % 3)], i % 13);
        window->ComboBox1->setFocus();
    }
    ASSERT_EQ(window->ComboBox1->currentIndex(), 14);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i + 1);
        std::set<int> occupied;
        for (const FormPatternEntry &entry : FormPattern(ScaleForms[i]))
            occupied.insert(entry.Column);
        for (int column = 0; column < StringGrid::ColCount; ++column) {
            if (occupied.contains(column))
                continue;
            EXPECT_EQ(grids()[i]->cell(column, 0), QString()) << "column " << column;
            EXPECT_EQ(grids()[i]->cell(column, 1), QString()) << "column " << column;
        }
    }
}

TEST_F(MainWindowTest, AFailedOpenIsShownAfterTheGridsShowTheNewKey)
{
    ShownErrors shown;
    service.files.erase("Mi Prim.MID");
    focusListWithTextSelected();
    typeInList('M');

    ASSERT_EQ(shown.errors.size(), 1u);
    EXPECT_EQ(shown.errors[0].title, QStringLiteral("ui_tests"));
    EXPECT_EQ(shown.errors[0].text, QStringLiteral("erro 1 em Mi Prim.MID."));
    EXPECT_EQ(KeyIndex, 12);
    EXPECT_EQ(RowTexts(*window->StringGrid1, 1), ModelRow(NoteRow(ScaleForm::Primitiva, 12)));
    EXPECT_EQ(RowTexts(*window->StringGrid3, 1), ModelRow(NoteRow(ScaleForm::Melodica, 12)));
    EXPECT_EQ(window->MediaPlayer1->state(), MediaPlayer::State::Empty);
    takeOpens();

    pressInList(Qt::Key_Down);
    EXPECT_EQ(shown.errors.size(), 1u);
    EXPECT_EQ(KeyIndex, 13);
    EXPECT_EQ(takeOpens(), (std::vector<std::string>{"Si Prim.MID", "Si Harm.MID", "Si Mel.MID"}));
    EXPECT_EQ(window->MediaPlayer1->state(), MediaPlayer::State::Ready);
}

TEST_F(MainWindowTest, SpaceOnAPlayerWithNothingOpenShowsTheError)
{
    ShownErrors shown;
    window->MediaPlayer2->setFocus();
    QTest::keyClick(window->MediaPlayer2, Qt::Key_Space);
    Settle();
    ASSERT_EQ(shown.errors.size(), 1u);
    EXPECT_EQ(shown.errors[0].text, QStringLiteral("No MCI device open."));
    EXPECT_TRUE(window->MediaPlayer2->hasFocus());
}

TEST_F(MainWindowTest, ScreenReadersHearEachCellWithItsFormAndHeading)
{
    focusListWithTextSelected();
    typeInList('L');
    const auto spoken = [](StringGrid *grid, int column, int row) {
        return grid->item(row, column)->data(Qt::AccessibleTextRole).toString();
    };
    EXPECT_EQ(spoken(window->StringGrid1, 0, 1), QStringLiteral("Primitiva, Tônica: Lá"));
    EXPECT_EQ(spoken(window->StringGrid3, 12, 1), QStringLiteral("Melódica, Tônica: Lá"));
    clickNoteCell(window->StringGrid2, 0);
    EXPECT_EQ(spoken(window->StringGrid2, 0, 1), QStringLiteral("Harmônica, 1: Lá"));
    EXPECT_EQ(window->ComboBox1->accessibleName(), QStringLiteral("Escolha a escala"));
    EXPECT_EQ(window->MediaPlayer1->accessibleName(), QStringLiteral("Tocar Primitiva"));
    EXPECT_EQ(window->MediaPlayer2->accessibleName(), QStringLiteral("Tocar Harmônica"));
    EXPECT_EQ(window->MediaPlayer3->accessibleName(), QStringLiteral("Tocar Melódica"));
}

} // namespace
