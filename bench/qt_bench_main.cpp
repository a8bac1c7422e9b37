// Runs the window and sound benchmarks headless, in the folder that holds the recordings, as
// the program itself runs.
#include "application.h"

#include <QDir>

#include <benchmark/benchmark.h>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    if (!QDir::setCurrent(QStringLiteral(QUARVELO_RECORDINGS_DIR))) {
        std::fprintf(stderr, "no recordings in %s: build the project first\n",
                     QUARVELO_RECORDINGS_DIR);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
