// Runs the FluidSynth service tests with an application object, so that end notices posted to
// the main thread are delivered while a test processes events.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
