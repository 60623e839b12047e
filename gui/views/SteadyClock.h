#pragma once

#include <QElapsedTimer>
#include <cstdint>

// Milliseconds on a steady clock since its first use: the clock of the meters and the blinking,
// which tests replace with their own.
inline int64_t SteadyMs() {
    static QElapsedTimer since = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return since.elapsed();
}
