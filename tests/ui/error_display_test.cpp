// The error display: its text rule, the title rule, the catch in the application's dispatch
// and the real message box.
#include "application.h"
#include "application_title.h"
#include "emci_device_error.h"
#include "error_display.h"
#include "shown_errors.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

Application &App()
{
    return *static_cast<Application *>(QCoreApplication::instance());
}

struct TextCase
{
    const char *message;
    const char *shown;
};

TEST(ErrorDisplayText, AppendsAFullStopOnlyAfterACharacterAboveIt)
{
    const TextCase cases[] = {
        {"No MCI device open", "No MCI device open."},
        {"x.", "x."},
        {"x!", "x!"},
        {"", ""},
        {"a)", "a)"},
        {"a ", "a "},
        {"a-", "a-"},
        {"a,", "a,"},
        {"b:", "b:."},
        {"a/", "a/."},
        {"Why?", "Why?."},
        {"Code 7", "Code 7."},
        {"é", "é."},
        {"line\n", "line\n"},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(ErrorDisplayText(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown));
    }
}

TEST(ApplicationTitle, IsTheFileNameCutAtItsFirstDotWithTheRestLowerCased)
{
    const TextCase cases[] = {
        {"DEMO.EXE", "Demo"},
        {"demo.test.exe", "demo"},
        {"quarvelo", "quarvelo"},
        {"/usr/local/bin/quarvelo", "quarvelo"},
        {"C:/Programas/QUARVELO.EXE", "Quarvelo"},
        {"/opt/v1.2/mIxEd", "mixed"},
        {"/opt/ÉCOLE.bin", "École"},
        {"/opt/.hidden", ""},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(ApplicationTitle(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown));
    }
}

TEST(Application, TitleComesFromTheRunningProgramFile)
{
    EXPECT_EQ(App().title(), QStringLiteral("ui_tests"));
}

// An object whose posted calls stand in for event handlers.
class Handlers : public testing::Test
{
protected:
    QObject receiver;
};

TEST_F(Handlers, AnErrorEndsItsHandlerIsShownOnceAndTheProgramGoesOn)
{
    ShownErrors shown;
    QStringList steps;
    QMetaObject::invokeMethod(
        &receiver,
        [&steps] {
            steps << "before";
            throw EMCIDeviceError("No MCI device open");
            steps << "after";
        },
        Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        &receiver, [&steps] { steps << "next event"; }, Qt::QueuedConnection);
    Settle();

    EXPECT_EQ(steps, QStringList({"before", "next event"}));
    ASSERT_EQ(shown.errors.size(), 1u);
    EXPECT_EQ(shown.errors[0].title, QStringLiteral("ui_tests"));
    EXPECT_EQ(shown.errors[0].text, QStringLiteral("No MCI device open."));
}

TEST_F(Handlers, EveryKindOfErrorReachesTheDisplay)
{
    ShownErrors shown;
    QMetaObject::invokeMethod(
        &receiver, [] { throw std::runtime_error("Falhou: nada"); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        &receiver, [] { throw 42; }, Qt::QueuedConnection);
    Settle();

    ASSERT_EQ(shown.errors.size(), 2u);
    EXPECT_EQ(shown.errors[0].text, QStringLiteral("Falhou: nada."));
    EXPECT_EQ(shown.errors[1].text, QStringLiteral("Erro desconhecido."));
}

// What the real message box showed, read while it was up.
struct SeenBox
{
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::WindowModality modality = Qt::NonModal;
};

TEST(MessageBox, ShowsTitleTextStopIconAndOneOkThenGivesTheActiveWindowBack)
{
    QWidget window;
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    App().setErrorDisplay(ShowErrorMessageBox);
    SeenBox seen;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || seen.seen)
            return;
        seen = {true,        box->windowTitle(),     box->text(),
                box->icon(), box->standardButtons(), box->windowModality()};
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(10);
    QObject receiver;
    QMetaObject::invokeMethod(
        &receiver, [] { throw EMCIDeviceError("No MCI device open"); }, Qt::QueuedConnection);
    Settle();
    closer.stop();
    FailOnShownErrors();

    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, QStringLiteral("ui_tests"));
    EXPECT_EQ(seen.text, QStringLiteral("No MCI device open."));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.modality, Qt::ApplicationModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
}

} // namespace
