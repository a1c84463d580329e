#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include <unistd.h>

namespace kelm {

// The console report, counting the benchmarks that failed (a screen that did not show every row,
// a card that was not found), so that the program's exit code tells CI.
class FailureCountingReporter : public benchmark::ConsoleReporter
{
public:
    // Colours only on a terminal, so that logs stay plain text.
    FailureCountingReporter()
        : ConsoleReporter(isatty(fileno(stdout)) ? OO_Color : OO_None)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            m_failures += run.error_occurred ? 1 : 0;
        ConsoleReporter::ReportRuns(runs);
    }
    int failures() const { return m_failures; }

private:
    int m_failures = 0;
};

} // namespace kelm
