#pragma once

#include "BenchData.h"
#include "Floor.h"

#include <benchmark/benchmark.h>

namespace kelm::ScreenBenchmarks {

// The raw sqlite3 scan every other figure is divided by. Counter x_floor: the median, over the
// iterations, of the figure's time over that of a floor scan of the same database run just before
// it (x_floor_cpu: the same for the thread's processor time). With readCells = false, the scan only
// steps through the rows.
void floor(benchmark::State& state, const BenchDatabase& data, Floor::Table table, bool readCells);

// The raw libpq scan of a database on a server, the floor of the figures taken over libpq.
void floorLibpq(benchmark::State& state, const BenchDatabase& data);

// Class1::kelm(true) shows the member screen, from nothing to the list's first paint (the first
// rows shown and clickable), or to the list holding every member.
void memberScreenFirstPaint(benchmark::State& state, const BenchDatabase& data);
void memberScreenLoad(benchmark::State& state, const BenchDatabase& data);
// "保存" with nothing pending on the shown member screen: the list read again, to every member.
void memberScreenSaveAndReload(benchmark::State& state, const BenchDatabase& data);
// One keystroke in the member screen's find line that looks through the whole list.
void memberSearchKeystroke(benchmark::State& state, const BenchDatabase& data);
// MemberTable::findByCard for members spread over the whole table (x_floor against the floor
// benchmark's median).
void cardLookup(benchmark::State& state, const BenchDatabase& data);
// The peak resident memory of a process of its own that shows the member screen.
void memberScreenPeakMemory(benchmark::State& state, const BenchDatabase& data);

// Class1::jfgl(true) shows the points screen with its gift list, to the list's first paint.
void pointsScreenGiftList(benchmark::State& state, const BenchDatabase& data);
// The gift catalogue shown from the registry, to the list's first paint.
void giftCatalogue(benchmark::State& state, const BenchDatabase& data);

// The process behind memberScreenPeakMemory: shows the member screen of config.ini, waits for the
// first paint and prints its peak memory. Returns the exit code.
int showMemberScreenAndPrintPeak(const QString& configPath);

} // namespace kelm::ScreenBenchmarks
