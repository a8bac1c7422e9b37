#include "window_fixture.h"

#include "recording_names.h"
#include "scale_form.h"

#include <QCoreApplication>
#include <QTest>

void Settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void TypeText(QWidget *widget, const QString &text)
{
    for (const QChar character : text) {
        // Qt names a Latin-1 letter's key by its upper-case code.
        const auto key = Qt::Key(character.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(character), Qt::NoModifier);
    }
}

QStringList RowTexts(const StringGrid &grid, int row)
{
    QStringList texts;
    for (int column = 0; column < StringGrid::ColCount; ++column)
        texts << grid.cell(column, row);
    return texts;
}

QPoint CellCentre(int column, int row)
{
    return {column * (StringGrid::DefaultColWidth + StringGrid::GridLineWidth)
                + StringGrid::DefaultColWidth / 2,
            row * (StringGrid::DefaultRowHeight + StringGrid::GridLineWidth)
                + StringGrid::DefaultRowHeight / 2};
}

void WindowTest::SetUp()
{
    for (std::int32_t keyIndex = 4; keyIndex <= 18; ++keyIndex) {
        for (ScaleForm form : ScaleForms)
            service.files.insert(*RecordingName(keyIndex, form));
    }
    window = std::make_unique<TForm1>(service);
    Form1 = window.get();
    window->FormCreate();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
}

void WindowTest::TearDown()
{
    window.reset();
    Settle();
}

std::vector<std::string> WindowTest::takeOpens()
{
    std::vector<std::string> opens;
    for (const std::string &entry : service.log) {
        if (entry.starts_with("open "))
            opens.push_back(entry.substr(5));
    }
    service.log.clear();
    return opens;
}
