// kelm-bench: the member screen, the gift lists and the card lookup at 10,000, 100,000 and
// 1,000,000 rows, and the shop's books over a million members with a million top-ups, each beside
// the raw sqlite3 scan of the same rows in the same run.
//
//   kelm-bench [--quick] [--data FOLDER] [--postgresql HOST:PORT] [Google Benchmark options]
//
// --quick runs 10,000 rows only (what CI runs). The databases are made once in FOLDER (by
// default bench-data/ in the build folder) and reused. With --postgresql the member rows run
// again on that server (user postgres, trust login; scripts/bench.sh starts a throwaway one), each
// beside the raw libpq scan.
#include "BenchData.h"
#include "BooksBenchmarks.h"
#include "FailureCountingReporter.h"
#include "PostgresData.h"
#include "ScreenBenchmarks.h"

#include <QApplication>
#include <QFile>
#include <QSysInfo>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

using namespace kelm;

namespace {

// Enough runs for a steady median; the million-row figures take about a second each.
int iterationsFor(int rows)
{
    return rows <= 10000 ? 20 : rows <= 100000 ? 10 : 5;
}

std::string firstLineWith(const QString& file, const QByteArray& key)
{
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : source.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(line.indexOf(':') + 1).simplified().toStdString();
    }
    return {};
}

// The member rows of one database; on a server each name carries "_postgresql" and the floor is
// the raw libpq scan.
void addMemberBenchmarks(const BenchDatabase& data)
{
    const std::string rows = std::to_string(data.members);
    const std::string engine = data.server.isEmpty() ? "" : "_postgresql";
    const int iterations = iterationsFor(data.members);
    const auto timed = [&](const std::string& name, auto function) {
        return benchmark::RegisterBenchmark((name + "/" + rows).c_str(), function)
            ->Iterations(iterations)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    if (data.server.isEmpty()) {
        timed("floor_sqlite3_text", [data](benchmark::State& state) {
            ScreenBenchmarks::floor(state, data, Floor::Table::Members, true);
        });
        timed("sqlite3_step_only", [data](benchmark::State& state) {
            ScreenBenchmarks::floor(state, data, Floor::Table::Members, false);
        });
    } else {
        timed("floor_libpq_text", [data](benchmark::State& state) { ScreenBenchmarks::floorLibpq(state, data); });
    }
    timed("member_screen_first_paint" + engine,
          [data](benchmark::State& state) { ScreenBenchmarks::memberScreenFirstPaint(state, data); });
    timed("member_screen_load" + engine,
          [data](benchmark::State& state) { ScreenBenchmarks::memberScreenLoad(state, data); });
    timed("member_screen_save_reload" + engine,
          [data](benchmark::State& state) { ScreenBenchmarks::memberScreenSaveAndReload(state, data); });
    timed("member_search_keystroke" + engine,
          [data](benchmark::State& state) { ScreenBenchmarks::memberSearchKeystroke(state, data); });
    if (data.server.isEmpty()) {
        benchmark::RegisterBenchmark(("card_lookup/" + rows).c_str(),
                                     [data](benchmark::State& state) { ScreenBenchmarks::cardLookup(state, data); })
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond);
    }
    timed("member_screen_peak_memory" + engine,
          [data](benchmark::State& state) { ScreenBenchmarks::memberScreenPeakMemory(state, data); })
        ->Iterations(1);
}

void addGiftBenchmarks(const BenchDatabase& data)
{
    const std::string rows = std::to_string(data.gifts);
    const int iterations = iterationsFor(data.gifts);
    const auto timed = [&](const std::string& name, auto function) {
        benchmark::RegisterBenchmark((name + "/" + rows).c_str(), function)
            ->Iterations(iterations)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    timed("floor_sqlite3_text_gifts", [data](benchmark::State& state) {
        ScreenBenchmarks::floor(state, data, Floor::Table::Gifts, true);
    });
    timed("points_screen_gift_list",
          [data](benchmark::State& state) { ScreenBenchmarks::pointsScreenGiftList(state, data); });
    timed("gift_catalogue", [data](benchmark::State& state) { ScreenBenchmarks::giftCatalogue(state, data); });
}

void addBooksBenchmarks(const BenchDatabase& data)
{
    const std::string rows = std::to_string(data.topUps);
    const int iterations = iterationsFor(data.topUps);
    const auto timed = [&](const std::string& name, auto function) {
        return benchmark::RegisterBenchmark((name + "/" + rows).c_str(), function)
            ->Iterations(iterations)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    timed("floor_sqlite3_text_qzjl", [data](benchmark::State& state) {
        ScreenBenchmarks::floor(state, data, Floor::Table::TopUps, true);
    });
    timed("books_day_report", [data](benchmark::State& state) { BooksBenchmarks::dayReport(state, data); });
    timed("books_daily_topups", [data](benchmark::State& state) { BooksBenchmarks::dailyTopUps(state, data); });
    timed("books_liability", [data](benchmark::State& state) { BooksBenchmarks::liability(state, data); });
    benchmark::RegisterBenchmark(("books_member_history/" + rows).c_str(),
                                 [data](benchmark::State& state) { BooksBenchmarks::memberHistory(state, data); })
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    timed("export_members", [data](benchmark::State& state) { BooksBenchmarks::exportMembers(state, data); })
        ->Iterations(std::min(iterations, 3));
}

// The offscreen platform cannot raise a window and says so at every show; the figures matter more.
QtMessageHandler g_standardMessages = nullptr;

void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message != QLatin1String("This plugin does not support raise()"))
        g_standardMessages(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    // No display is needed: the screens paint into memory as in the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    bool quick = false;
    QString dataFolder = QStringLiteral(KELM_BENCH_DATA_DIR);
    QString childConfig;
    QString server;
    std::vector<char*> benchmarkArguments{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--quick")
            quick = true;
        else if (argument == "--data" && i + 1 < argc)
            dataFolder = QString::fromLocal8Bit(argv[++i]);
        else if (argument == "--postgresql" && i + 1 < argc)
            server = QString::fromLocal8Bit(argv[++i]);
        else if (argument == "--peak-memory-child" && i + 1 < argc)
            childConfig = QString::fromLocal8Bit(argv[++i]);
        else
            benchmarkArguments.push_back(argv[i]);
    }

    g_standardMessages = qInstallMessageHandler(quietMessages);
    int qtArgumentCount = 1;
    QApplication application(qtArgumentCount, argv);
    if (!childConfig.isEmpty())
        return ScreenBenchmarks::showMemberScreenAndPrintPeak(childConfig);

    int benchmarkArgumentCount = static_cast<int>(benchmarkArguments.size());
    benchmark::Initialize(&benchmarkArgumentCount, benchmarkArguments.data());
    if (benchmark::ReportUnrecognizedArguments(benchmarkArgumentCount, benchmarkArguments.data()))
        return 1;

    try {
        BenchData data(dataFolder);
        const std::vector<int> sizes = quick ? std::vector<int>{10000} : std::vector<int>{10000, 100000, 1000000};
        std::vector<BenchDatabase> members;
        for (int size : sizes)
            members.push_back(data.members(size));
        const BenchDatabase gifts = data.gifts(quick ? 10000 : 100000);
        const BenchDatabase books = data.books(quick ? 10000 : 1000000);
        for (const BenchDatabase& database : members)
            addMemberBenchmarks(database);
        if (!server.isEmpty()) {
            for (const BenchDatabase& database : members)
                addMemberBenchmarks(PostgresData::copy(database, server));
        }
        addGiftBenchmarks(gifts);
        addBooksBenchmarks(books);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "kelm-bench: %s\n", failure.what());
        return 1;
    }

    benchmark::AddCustomContext("cpu_model", firstLineWith(QStringLiteral("/proc/cpuinfo"), "model name"));
    benchmark::AddCustomContext("memory", firstLineWith(QStringLiteral("/proc/meminfo"), "MemTotal"));
    benchmark::AddCustomContext("system", QSysInfo::prettyProductName().toStdString());
    benchmark::AddCustomContext("qt", qVersion());
    FailureCountingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failures() == 0 ? 0 : 1;
}
