#pragma once

#include "BenchData.h"
#include "Floor.h"
#include "PostgresData.h"
#include "Stopwatch.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <vector>

namespace kelm {

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The readings of a benchmark's iterations, each beside a floor scan run next to it: the load of
// the machine drifts (builds, other programs), and the ratio of two runs taken side by side drifts
// far less than one of two medians taken a minute apart.
class Samples
{
public:
    void add(Stopwatch::Reading own, Stopwatch::Reading floor)
    {
        m_wall.push_back(own.wall);
        m_cpu.push_back(own.cpu);
        m_wallRatio.push_back(own.wall / floor.wall);
        m_cpuRatio.push_back(own.cpu / floor.cpu);
    }
    Stopwatch::Reading median() const { return {kelm::median(m_wall), kelm::median(m_cpu)}; }
    // x_floor: the median ratio of wall-clock times; x_floor_cpu: the same for the processor time
    // of the thread, which other programs on the machine disturb less.
    void reportRatios(benchmark::State& state) const
    {
        state.counters["x_floor"] = kelm::median(m_wallRatio);
        state.counters["x_floor_cpu"] = kelm::median(m_cpuRatio);
    }

private:
    std::vector<double> m_wall;
    std::vector<double> m_cpu;
    std::vector<double> m_wallRatio;
    std::vector<double> m_cpuRatio;
};

// The floor scan of one database, run beside each iteration of a benchmark: the raw sqlite3 scan,
// or the raw libpq scan for a database on a server.
class PairedFloor
{
public:
    PairedFloor(const BenchDatabase& data, Floor::Table table)
        : m_table(table)
    {
        if (data.server.isEmpty())
            m_db = Floor::open(data.databasePath);
        else
            m_server = PostgresData::open(data);
    }
    ~PairedFloor()
    {
        sqlite3_close(m_db);
        PQfinish(m_server);
    }
    PairedFloor(const PairedFloor&) = delete;
    PairedFloor& operator=(const PairedFloor&) = delete;

    Stopwatch::Reading scan() const
    {
        const Stopwatch stopwatch;
        benchmark::DoNotOptimize(m_server ? PostgresData::scan(m_server) : Floor::scan(m_db, m_table));
        return stopwatch.elapsed();
    }

private:
    sqlite3* m_db = nullptr;
    PGconn* m_server = nullptr;
    Floor::Table m_table;
};

} // namespace kelm
