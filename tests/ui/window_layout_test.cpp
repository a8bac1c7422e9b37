// The window as laid out: its own properties, every control's place, text, font, hint and tab
// order, and what a picture of it shows where.
#include "classic_style.h"
#include "key_combo_box.h"
#include "media_player.h"
#include "minor_keys.h"
#include "program_icon.h"
#include "window_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Control
{
    QWidget *widget;
    const char *name;
    QRect geometry; // a label's width and height are those of its text
    const char *text;
    const char *hint;
};

class LayoutTest : public WindowTest
{
protected:
    // Every control in the order of creation.
    std::vector<Control> controls() const
    {
        const TForm1 &w = *window;
        return {
            {w.Label1, "Label1", {16, 80, 0, 0}, "Primitiva", ""},
            {w.Label2, "Label2", {16, 208, 0, 0}, "Harmônica", ""},
            {w.Label3, "Label3", {16, 336, 0, 0}, "Melódica", ""},
            {w.Label4,
             "Label4",
             {712, 432, 0, 0},
             "Desenvolvido por Tessarin - Fevereiro 2010",
             ""},
            {w.Label6, "Label6", {624, 24, 0, 0}, "Escolha a escala", ""},
            {w.Label7, "Label7", {624, 48, 0, 0}, "Aperte o play", ""},
            {w.Label8, "Label8", {624, 72, 0, 0}, "Clique em um retângulo branco", ""},
            {w.Label9, "Label9", {800, 40, 0, 0}, "Software didático e livre", ""},
            {w.Label10, "Label10", {379, 8, 0, 0}, "Dorvalis", ""},
            {w.Label11,
             "Label11",
             {656, 456, 0, 0},
             "Comentários e sugestões: https://example.org/quarvelo",
             ""},
            {w.StringGrid1, "StringGrid1", {8, 104, 965, 53}, "", "O acorde da dominante é menor."},
            {w.StringGrid2,
             "StringGrid2",
             {8, 232, 965, 53},
             "",
             "O acorde da dominante torna-se maior. Entretanto existe uma segunda aumentada."},
            {w.StringGrid3,
             "StringGrid3",
             {8, 360, 965, 53},
             "",
             "A segunda aumentada torna-se maior. Quando descendente, esta escala usa a forma "
             "primitiva."},
            {w.ComboBox1, "ComboBox1", {128, 16, 177, 21}, "Escala Menor", ""},
            {w.MediaPlayer1, "MediaPlayer1", {72, 72, 29, 30}, "", ""},
            {w.MediaPlayer2, "MediaPlayer2", {72, 200, 29, 30}, "", ""},
            {w.MediaPlayer3, "MediaPlayer3", {72, 328, 29, 30}, "", ""},
        };
    }
};

TEST_F(LayoutTest, TheWindowIsAFixedDialogFrameWithItsCaptionAndIcon)
{
    EXPECT_EQ(window->objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quarvelo - Versão 1.0"));
    EXPECT_EQ(window->size(), QSize(981, 479));
    EXPECT_EQ(window->minimumSize(), QSize(981, 479));
    EXPECT_EQ(window->maximumSize(), QSize(981, 479));
    EXPECT_EQ(window->pos(), QPoint(178, 188));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window->isMaximized() || window->isMinimized());
    EXPECT_EQ(window->toolTip(), QString());

    const QImage icon = ProgramIconImage();
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.format(), QImage::Format_Indexed8);
    EXPECT_LE(icon.colorCount(), 16);
    EXPECT_TRUE(window->windowIcon().availableSizes().contains(QSize(32, 32)));
}

TEST_F(LayoutTest, EveryControlHasItsNamePlaceTextHintAndFont)
{
    std::vector<QWidget *> created;
    for (QObject *child : window->children()) {
        if (auto *widget = qobject_cast<QWidget *>(child); widget && !widget->isWindow())
            created.push_back(widget);
    }
    std::vector<QWidget *> expected;
    for (const Control &c : controls())
        expected.push_back(c.widget);
    EXPECT_EQ(created, expected) << "the controls, and only they, in the order of creation";

    for (const Control &c : controls()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(window->findChild<QWidget *>(QString::fromLatin1(c.name)), c.widget);
        EXPECT_EQ(c.widget->pos(), c.geometry.topLeft());
        EXPECT_EQ(c.widget->toolTip(), QString::fromUtf8(c.hint));
        if (auto *label = qobject_cast<QLabel *>(c.widget)) {
            EXPECT_EQ(label->text(), QString::fromUtf8(c.text));
            EXPECT_EQ(label->size(), label->sizeHint()) << "sized to its text";
            EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        } else {
            EXPECT_EQ(c.widget->size(), c.geometry.size());
        }
        const bool title = c.widget == window->Label10;
        EXPECT_EQ(c.widget->font().pixelSize(), title ? 19 : 11);
        const QString family = QFontInfo(c.widget->font()).family();
        EXPECT_TRUE(family == "MS Sans Serif" || family == "Liberation Sans"
                    || family == "DejaVu Sans")
            << family.toStdString();
    }
    EXPECT_EQ(window->ComboBox1->currentText(), QStringLiteral("Escala Menor"));
}

TEST_F(LayoutTest, NoTwoControlsOverlapAndAllLieInsideTheWindow)
{
    const std::vector<Control> all = controls();
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_TRUE(window->rect().contains(all[i].widget->geometry())) << all[i].name;
        for (std::size_t j = i + 1; j < all.size(); ++j) {
            EXPECT_FALSE(all[i].widget->geometry().intersects(all[j].widget->geometry()))
                << all[i].name << " and " << all[j].name;
        }
    }
}

TEST_F(LayoutTest, TabCyclesThroughTheSevenFocusableControls)
{
    const std::vector<QWidget *> order{
        window->StringGrid2,  window->StringGrid3,  window->ComboBox1,  window->MediaPlayer1,
        window->MediaPlayer2, window->MediaPlayer3, window->StringGrid1};
    ASSERT_EQ(QApplication::focusWidget(), window->StringGrid1);
    for (QWidget *next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    for (auto previous = order.rbegin() + 1; previous != order.rend(); ++previous) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), *previous)
            << (*previous)->objectName().toStdString();
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), window->StringGrid1);
    Settle();
    EXPECT_TRUE(service.log.empty()) << "moving the focus opens nothing";
}

TEST_F(LayoutTest, TheKeyListHoldsTheFifteenKeysAndShowsThemAllWhenOpen)
{
    KeyComboBox *list = window->ComboBox1;
    ASSERT_EQ(list->count(), int(MinorKeys.size()));
    for (const MinorKey &key : MinorKeys) {
        EXPECT_EQ(list->itemText(key.ListPosition),
                  QString::fromUtf8(key.KeyCaption.data(), qsizetype(key.KeyCaption.size())));
    }
    EXPECT_TRUE(list->isEditable());
    EXPECT_EQ(list->maxVisibleItems(), 15);
    EXPECT_EQ(list->insertPolicy(), QComboBox::NoInsert);
    EXPECT_EQ(list->completer(), nullptr);

    list->showPopup();
    QAbstractItemView *view = list->view();
    ASSERT_TRUE(view->isVisible());
    EXPECT_FALSE(view->verticalScrollBar()->isVisible());
    const QRect last = view->visualRect(list->model()->index(14, 0));
    EXPECT_TRUE(view->viewport()->rect().contains(last));
    list->hidePopup();
}

TEST_F(LayoutTest, HintsShowOnlyOverTheGridsAfterHalfASecondForTwoAndAHalf)
{
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 500);
    for (StringGrid *grid : {window->StringGrid1, window->StringGrid2, window->StringGrid3})
        EXPECT_EQ(grid->toolTipDuration(), 2500);

    // The hint a resting pointer would bring up over a point of the widget, if any.
    const auto hintOver = [](QWidget *widget, QPoint pos) {
        QHelpEvent help(QEvent::ToolTip, pos, widget->mapToGlobal(pos));
        QApplication::sendEvent(widget, &help);
        return help.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(hintOver(window->StringGrid2->viewport(), CellCentre(4, 1)),
              window->StringGrid2->toolTip());
    EXPECT_EQ(hintOver(window->StringGrid3->viewport(), CellCentre(9, 0)),
              window->StringGrid3->toolTip());
    EXPECT_EQ(hintOver(window->StringGrid1, {1, 1}), window->StringGrid1->toolTip())
        << "on the grid's frame as well";
    EXPECT_EQ(hintOver(window->ComboBox1->lineEdit(), {5, 5}), QString());
    EXPECT_EQ(hintOver(window->ComboBox1, {170, 5}), QString());
    EXPECT_EQ(hintOver(window->MediaPlayer1, {5, 5}), QString());
    EXPECT_EQ(hintOver(window->Label8, {5, 5}), QString());
    EXPECT_EQ(hintOver(window.get(), {500, 60}), QString());
    QToolTip::hideText();
}

struct Spot
{
    const char *name;
    QPoint pos;
    QPalette::ColorRole role;
};

TEST_F(LayoutTest, APictureShowsHeaderFacesWhiteNotesAndTheSelectionColour)
{
    // Window coordinates of a cell's centre: grid, then its 2-pixel frame, then the cell.
    const auto at = [](const StringGrid *grid, int column, int row) {
        return grid->pos() + QPoint(2, 2) + CellCentre(column, row);
    };
    const TForm1 &w = *window;
    const Spot spots[] = {
        {"window background", {500, 60}, QPalette::Window},
        {"header cell of StringGrid1", at(w.StringGrid1, 0, 0), QPalette::Button},
        {"header cell of StringGrid3", at(w.StringGrid3, 12, 0), QPalette::Button},
        {"focused current note cell of StringGrid1", at(w.StringGrid1, 0, 1), QPalette::Base},
        {"another note cell of StringGrid1", at(w.StringGrid1, 6, 1), QPalette::Base},
        {"current note cell of StringGrid2", at(w.StringGrid2, 0, 1), QPalette::Highlight},
        {"current note cell of StringGrid3", at(w.StringGrid3, 0, 1), QPalette::Highlight},
        {"another note cell of StringGrid3", at(w.StringGrid3, 12, 1), QPalette::Base},
    };
    ASSERT_TRUE(w.StringGrid1->hasFocus());
    const QImage picture = window->grab().toImage();
    const QPalette &colors = window->palette();
    EXPECT_EQ(colors.color(QPalette::Window), colors.color(QPalette::Button))
        << "the background is the button face";
    for (const Spot &spot : spots) {
        SCOPED_TRACE(spot.name);
        EXPECT_EQ(QColor(picture.pixel(spot.pos)).name().toStdString(),
                  colors.color(spot.role).name().toStdString());
    }
}

} // namespace
