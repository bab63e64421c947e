#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

namespace vantrel::bench {

// The window benchmarks need a QApplication; without a display they draw
// offscreen.
inline int runUiBenchmarks(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace vantrel::bench
