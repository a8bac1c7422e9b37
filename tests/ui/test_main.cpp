// Runs the window tests headless, inside the program's own application object.
#include "application.h"
#include "shown_errors.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    FailOnShownErrors();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
