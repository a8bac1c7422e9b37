// Runs the player tests headless, with an application that keeps the errors escaping posted
// calls instead of showing them, the way the real application reports them.
#include "captured_errors.h"

#include <QApplication>

#include <exception>
#include <gtest/gtest.h>

namespace {

class CapturingApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &error) {
            CapturedErrors().push_back(error.what());
        }
        return false;
    }
};

} // namespace

std::vector<std::string> &CapturedErrors()
{
    static std::vector<std::string> errors;
    return errors;
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CapturingApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
