// The key list on its own: typing completion, Backspace, Up and Down, picks in the open list
// and other edits, each with the change events it raises and the position it leaves.
#include "key_combo_box.h"
#include "minor_keys.h"
#include "window_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>
#include <vector>

namespace {

QString Caption(int position)
{
    const std::string_view caption = MinorKeys.at(std::size_t(position)).KeyCaption;
    return QString::fromUtf8(caption.data(), qsizetype(caption.size()));
}

class KeyListTest : public testing::Test
{
protected:
    void SetUp() override
    {
        host.resize(400, 120);
        combo = new KeyComboBox(&host);
        combo->setGeometry(10, 10, 177, 21);
        combo->setMaxVisibleItems(15);
        for (const MinorKey &key : MinorKeys)
            combo->addItem(Caption(key.ListPosition));
        combo->setCurrentIndex(-1);
        combo->setEditText(QStringLiteral("Escala Menor"));
        other = new QLineEdit(&host);
        other->setGeometry(10, 60, 100, 20);
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
        combo->setFocus();
        edit()->selectAll();
        events = std::make_unique<QSignalSpy>(combo, &KeyComboBox::changed);
    }

    QLineEdit *edit() const { return combo->lineEdit(); }

    // The positions reported since the last call.
    std::vector<int> takeEvents()
    {
        std::vector<int> positions;
        for (const QList<QVariant> &event : *events)
            positions.push_back(event.at(0).toInt());
        events->clear();
        return positions;
    }

    // Starts from an entry made current by the program, with no event counted.
    void startAt(int position)
    {
        combo->setCurrentIndex(position);
        edit()->selectAll();
        takeEvents();
    }

    QWidget host;
    KeyComboBox *combo = nullptr;
    QLineEdit *other = nullptr;
    std::unique_ptr<QSignalSpy> events;
};

struct TypingStep
{
    const char *name;
    Qt::Key key;
    char character;
    int position;
    std::vector<int> events;
    const char *text;
    const char *selected;
};

TEST_F(KeyListTest, TypingCompletesToTheFirstEntryAndReportsOnlyChangesOfTheEntry)
{
    const TypingStep steps[] = {
        {"S", Qt::Key_S, 'S', 2, {2}, "Si Menor - 2 Sustenidos", "i Menor - 2 Sustenidos"},
        {"o", Qt::Key_O, 'o', 5, {5}, "Sol # Menor - 5 Sustenidos", "l # Menor - 5 Sustenidos"},
        {"l", Qt::Key_L, 'l', 5, {}, "Sol # Menor - 5 Sustenidos", " # Menor - 5 Sustenidos"},
        {"space",
         Qt::Key_Space,
         ' ',
         5,
         {},
         "Sol # Menor - 5 Sustenidos",
         "# Menor - 5 Sustenidos"},
        {"M", Qt::Key_M, 'M', 9, {9}, "Sol Menor - 2 Bemóis", "enor - 2 Bemóis"},
        {"Backspace", Qt::Key_Backspace, 0, -1, {-1}, "Sol M", ""},
    };
    for (const TypingStep &step : steps) {
        SCOPED_TRACE(step.name);
        if (step.character)
            QTest::keyClick(combo, step.character);
        else
            QTest::keyClick(combo, step.key);
        EXPECT_EQ(combo->currentIndex(), step.position);
        EXPECT_EQ(takeEvents(), step.events);
        EXPECT_EQ(edit()->text(), QString::fromUtf8(step.text));
        EXPECT_EQ(edit()->selectedText(), QString::fromUtf8(step.selected));
    }
}

struct CompletionCase
{
    const char *typed;
    int position;
    const char *text;
};

TEST_F(KeyListTest, CompletionIgnoresLetterCaseAndKeepsWhatWasTyped)
{
    const CompletionCase cases[] = {
        {"m", 1, "mi Menor - 1 Sustenido"},         {"lá", 0, "lá Menor - Nenhuma Alteração"},
        {"r", 6, "r\u00e9 # Menor - 6 Sustenidos"}, {"ré m", 8, "ré menor - 1 Bemol"},
        {"SOL M", 9, "SOL Menor - 2 Bemóis"},       {"FÁ #", 3, "FÁ # Menor - 3 Sustenidos"},
        {"d", 4, "dó # Menor - 4 Sustenidos"},      {"si b", 12, "si b Menor - 5 Bemóis"},
    };
    for (const CompletionCase &c : cases) {
        SCOPED_TRACE(c.typed);
        combo->setEditText(QStringLiteral("Escala Menor"));
        edit()->selectAll();
        TypeText(combo, QString::fromUtf8(c.typed));
        EXPECT_EQ(combo->currentIndex(), c.position);
        EXPECT_EQ(edit()->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(edit()->selectedText(),
                  Caption(c.position).mid(QString::fromUtf8(c.typed).size()));
        startAt(-1);
    }
}

TEST_F(KeyListTest, ACharacterThatCompletesNothingEntersTheField)
{
    QTest::keyClick(combo, 'x');
    EXPECT_EQ(edit()->text(), QStringLiteral("x"));
    EXPECT_EQ(takeEvents(), std::vector<int>{-1});
    QTest::keyClick(combo, 'y');
    EXPECT_EQ(edit()->text(), QStringLiteral("xy"));
    EXPECT_EQ(takeEvents(), std::vector<int>{-1});

    // With an entry current, a character after its whole caption leaves no entry current.
    combo->setEditText(QString());
    QTest::keyClick(combo, 'M');
    EXPECT_EQ(takeEvents(), std::vector<int>{1});
    QTest::keyClick(combo, Qt::Key_End);
    QTest::keyClick(combo, 's');
    EXPECT_EQ(edit()->text(), QStringLiteral("Mi Menor - 1 Sustenidos"));
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(takeEvents(), std::vector<int>{-1});
}

struct BackspaceCase
{
    const char *name;
    int position;
    const char *text;
    int selectionStart;
    int selectionLength;
    int cursor;
    const char *after;
    int event;
};

TEST_F(KeyListTest, BackspaceRemovesTheSelectionOrTheCharacterBeforeTheCaret)
{
    const BackspaceCase cases[] = {
        {"whole text selected", -1, "Escala Menor", 0, 12, -1, "", -1},
        {"caret inside the text", -1, "Escala Menor", -1, 0, 6, "Escal Menor", -1},
        {"caret at the start", -1, "Escala Menor", -1, 0, 0, "Escala Menor", -1},
        {"completed rest selected", 1, "Mi Menor - 1 Sustenido", 1, 21, -1, "M", -1},
        {"empty field, no entry", -1, "", -1, 0, 0, "", -1},
        {"empty field, an entry current", 3, "", -1, 0, 0, "", 3},
    };
    for (const BackspaceCase &c : cases) {
        SCOPED_TRACE(c.name);
        startAt(c.position);
        edit()->setText(QString::fromUtf8(c.text));
        if (c.selectionStart >= 0)
            edit()->setSelection(c.selectionStart, c.selectionLength);
        else
            edit()->setCursorPosition(c.cursor);
        QTest::keyClick(combo, Qt::Key_Backspace);
        EXPECT_EQ(edit()->text(), QString::fromUtf8(c.after));
        EXPECT_EQ(takeEvents(), std::vector<int>{c.event});
        EXPECT_EQ(combo->currentIndex(), c.event);
    }
}

struct StepCase
{
    const char *name;
    int start;
    std::vector<Qt::Key> keys;
    std::vector<int> events;
};

TEST_F(KeyListTest, UpAndDownReportEachMoveToAnotherEntry)
{
    const StepCase cases[] = {
        {"Down from 3 to 6", 3, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}, {4, 5, 6}},
        {"Up from 5", 5, {Qt::Key_Up}, {4}},
        {"Up at the first entry", 0, {Qt::Key_Up}, {}},
        {"Down at the last entry", 14, {Qt::Key_Down}, {}},
        {"Down with no entry current", -1, {Qt::Key_Down}, {0}},
        {"Page Down moves no entry", 3, {Qt::Key_PageDown, Qt::Key_PageUp}, {}},
    };
    for (const StepCase &c : cases) {
        SCOPED_TRACE(c.name);
        startAt(c.start);
        for (Qt::Key key : c.keys)
            QTest::keyClick(combo, key);
        EXPECT_EQ(takeEvents(), c.events);
        const int expected = c.events.empty() ? c.start : c.events.back();
        EXPECT_EQ(combo->currentIndex(), expected);
        if (expected >= 0) {
            EXPECT_EQ(edit()->text(), Caption(expected));
            EXPECT_EQ(edit()->selectedText(), Caption(expected));
        }
    }
}

TEST_F(KeyListTest, TheOpenListMovesWithTheKeysAndPicksOnAClick)
{
    startAt(3);
    combo->showPopup();
    ASSERT_TRUE(combo->view()->isVisible());
    EXPECT_EQ(takeEvents(), std::vector<int>{}) << "opening the list";

    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Up);
    EXPECT_EQ(takeEvents(), (std::vector<int>{4, 5, 4}));
    EXPECT_EQ(combo->currentIndex(), 4);
    EXPECT_EQ(combo->view()->currentIndex().row(), 4);
    EXPECT_EQ(edit()->text(), Caption(4));

    const QRect entry = combo->view()->visualRect(combo->model()->index(7, 0));
    QTest::mouseClick(combo->view()->viewport(), Qt::LeftButton, {}, entry.center());
    EXPECT_FALSE(combo->view()->isVisible());
    EXPECT_EQ(takeEvents(), std::vector<int>{7});
    EXPECT_EQ(combo->currentIndex(), 7);
    EXPECT_EQ(edit()->text(), Caption(7));

    combo->showPopup();
    combo->hidePopup();
    EXPECT_EQ(takeEvents(), std::vector<int>{}) << "opening and closing the list";
}

TEST_F(KeyListTest, OtherEditsReportWhatTheListThenHolds)
{
    edit()->setCursorPosition(0);
    QTest::keyClick(combo, Qt::Key_Delete);
    EXPECT_EQ(edit()->text(), QStringLiteral("scala Menor"));
    EXPECT_EQ(takeEvents(), std::vector<int>{-1});

    edit()->selectAll();
    QTest::keyClick(combo, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit()->text(), QString());
    EXPECT_EQ(takeEvents(), std::vector<int>{-1});

    QApplication::clipboard()->setText(Caption(2));
    QTest::keyClick(combo, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit()->text(), Caption(2));
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(takeEvents(), std::vector<int>{2});

    QApplication::clipboard()->setText(QStringLiteral("!"));
    QTest::keyClick(combo, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(takeEvents(), std::vector<int>{-1});
}

TEST_F(KeyListTest, CaretMovesFocusEnterAndTheWheelReportNothing)
{
    startAt(5);
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End, Qt::Key_Return,
                        Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(combo, key);
    QTest::keyClick(combo, Qt::Key_Left, Qt::ShiftModifier);
    other->setFocus();
    combo->setFocus();
    const QPoint centre = combo->rect().center();
    QWheelEvent wheel(centre, combo->mapToGlobal(centre), {}, {0, -120}, Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(combo, &wheel);

    EXPECT_EQ(takeEvents(), std::vector<int>{});
    EXPECT_EQ(combo->currentIndex(), 5);
    EXPECT_EQ(combo->count(), 15) << "Enter adds no entry";
}

TEST_F(KeyListTest, LeavingTheFieldPicksNoEntryWhoseTextItHolds)
{
    startAt(1);
    QTest::keyClick(combo, Qt::Key_End);
    QTest::keyClick(combo, 's');
    QTest::keyClick(combo, Qt::Key_Backspace);
    ASSERT_EQ(edit()->text(), Caption(1));
    ASSERT_EQ(combo->currentIndex(), -1);
    takeEvents();

    other->setFocus();
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(takeEvents(), std::vector<int>{});
    EXPECT_EQ(edit()->text(), Caption(1));
}

} // namespace
