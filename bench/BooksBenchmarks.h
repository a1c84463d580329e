#pragma once

#include "BenchData.h"

#include <benchmark/benchmark.h>

// The shop's books over a database of a year's history (BenchData::books): each report beside a
// raw sqlite3 scan of the table it reads, in the same run.
namespace kelm::BooksBenchmarks {

// The day report over the whole year, against the scan of qzjl.
void dayReport(benchmark::State& state, const BenchDatabase& data);
// The chart's daily top-up totals over the whole year, against the scan of qzjl.
void dailyTopUps(benchmark::State& state, const BenchDatabase& data);
// The stored value owed to members, against the scan of kelm.
void liability(benchmark::State& state, const BenchDatabase& data);
// One member's history, for cards spread over the table (time per card).
void memberHistory(benchmark::State& state, const BenchDatabase& data);
// kelm-admin export members, process start to the finished file, against the scan of kelm.
void exportMembers(benchmark::State& state, const BenchDatabase& data);

} // namespace kelm::BooksBenchmarks
