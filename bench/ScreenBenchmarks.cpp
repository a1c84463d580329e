#include "ScreenBenchmarks.h"

#include "PaintProbe.h"
#include "QuietMessageBoxes.h"
#include "Stopwatch.h"

#include "common/CompactTableModel.h"
#include "common/MemberTable.h"
#include "common/ReportListView.h"
#include "common/SqliteDatabase.h"
#include "entry/ScreenRegistry.h"
#include "members/Form1.h"
#include "points/Form5.h"

#include <kelm/Class1.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kelm::ScreenBenchmarks {

namespace {

double median(std::vector<double> values)
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
    Stopwatch::Reading median() const { return {ScreenBenchmarks::median(m_wall), ScreenBenchmarks::median(m_cpu)}; }
    // x_floor: the median ratio of wall-clock times; x_floor_cpu: the same for the processor time
    // of the thread, which other programs on the machine disturb less.
    void reportRatios(benchmark::State& state) const
    {
        state.counters["x_floor"] = ScreenBenchmarks::median(m_wallRatio);
        state.counters["x_floor_cpu"] = ScreenBenchmarks::median(m_cpuRatio);
    }

private:
    std::vector<double> m_wall;
    std::vector<double> m_cpu;
    std::vector<double> m_wallRatio;
    std::vector<double> m_cpuRatio;
};

// The floor scan of one database, run beside each iteration of a benchmark.
class PairedFloor
{
public:
    PairedFloor(const BenchDatabase& data, Floor::Table table)
        : m_db(Floor::open(data.databasePath))
        , m_table(table)
    {
    }
    ~PairedFloor() { sqlite3_close(m_db); }
    PairedFloor(const PairedFloor&) = delete;
    PairedFloor& operator=(const PairedFloor&) = delete;

    Stopwatch::Reading scan() const
    {
        const Stopwatch stopwatch;
        benchmark::DoNotOptimize(Floor::scan(m_db, m_table));
        return stopwatch.elapsed();
    }

private:
    sqlite3* m_db;
    Floor::Table m_table;
};

// A registry of screens over one benchmark database, the one Class1 uses while it lives.
class BenchScreens
{
public:
    explicit BenchScreens(const BenchDatabase& data)
    {
        Module1::Seams seams;
        seams.configPath = data.configPath;
        seams.messages = &m_messages;
        m_registry = std::make_unique<ScreenRegistry>(std::move(seams));
        ScreenRegistry::install(m_registry.get());
    }
    ~BenchScreens()
    {
        ScreenRegistry::install(nullptr);
        m_registry.reset();
        settle();
    }
    BenchScreens(const BenchScreens&) = delete;
    BenchScreens& operator=(const BenchScreens&) = delete;

    ScreenRegistry& registry() { return *m_registry; }

    static void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

private:
    QuietMessageBoxes m_messages;
    std::unique_ptr<ScreenRegistry> m_registry;
};

QWidget* visibleWindow(const QString& objectName)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == objectName && window->isVisible())
            return window;
    }
    return nullptr;
}

ReportListView* listOf(QWidget* screen)
{
    return screen ? screen->findChild<ReportListView*>(QStringLiteral("ListView1")) : nullptr;
}

struct ShowTimes
{
    Stopwatch::Reading show;  // building the screen, its load (settings, connection, list fill) and show
    Stopwatch::Reading paint; // from there to the list's first paint
    int rows = -1;

    Stopwatch::Reading total() const { return {show.wall + paint.wall, show.cpu + paint.cpu}; }
};

// Runs show, then handles events until the list of the screen objectName has been painted.
ShowTimes showAndPaint(const QString& objectName, const std::function<void()>& show)
{
    ShowTimes times;
    Stopwatch stopwatch;
    show();
    times.show = stopwatch.elapsed();
    ReportListView* list = listOf(visibleWindow(objectName));
    if (!list)
        return times;
    stopwatch.restart();
    if (!(new PaintProbe(list->viewport()))->waitForPaint())
        return times;
    times.paint = stopwatch.elapsed();
    times.rows = list->model()->rowCount();
    return times;
}

void closeScreen(const QString& objectName)
{
    if (QWidget* screen = visibleWindow(objectName))
        screen->close();
    BenchScreens::settle();
}

// Shows and closes a screen once per iteration; the time of an iteration runs from the show to
// the first paint.
void showScreenBenchmark(benchmark::State& state, const BenchDatabase& data, Floor::Table table,
                         const QString& objectName, const std::function<void(BenchScreens&)>& show)
{
    const PairedFloor floor(data, table);
    const int expectedRows = table == Floor::Table::Members ? data.members : data.gifts;
    BenchScreens screens(data);
    const auto once = [&] {
        const ShowTimes times = showAndPaint(objectName, [&] { show(screens); });
        closeScreen(objectName);
        return times;
    };
    once(); // the file in the page cache and Qt's fonts and styles loaded, as in a running till
    Samples totals;
    std::vector<double> shows, paints;
    for (auto _ : state) {
        // The CPU column counts the screen only.
        state.PauseTiming();
        const Stopwatch::Reading floorTime = floor.scan();
        state.ResumeTiming();
        const ShowTimes times = showAndPaint(objectName, [&] { show(screens); });
        state.PauseTiming();
        closeScreen(objectName);
        state.ResumeTiming();
        if (times.rows != expectedRows) {
            state.SkipWithError("the list did not show every row");
            return;
        }
        state.SetIterationTime(times.total().wall);
        totals.add(times.total(), floorTime);
        shows.push_back(times.show.wall);
        paints.push_back(times.paint.wall);
    }
    state.counters["show_ms"] = median(shows) * 1e3;
    state.counters["paint_ms"] = median(paints) * 1e3;
    totals.reportRatios(state);
    state.counters["rows"] = expectedRows;
}

long statusKilobytes(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(static_cast<int>(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

void floor(benchmark::State& state, const BenchDatabase& data, Floor::Table table, bool readCells)
{
    sqlite3* db = Floor::open(data.databasePath);
    Floor::scan(db, table); // into the page cache
    Samples samples;
    for (auto _ : state) {
        if (!readCells)
            state.PauseTiming();
        Stopwatch stopwatch;
        benchmark::DoNotOptimize(Floor::scan(db, table));
        const Stopwatch::Reading floorTime = stopwatch.elapsed();
        Stopwatch::Reading reading = floorTime;
        if (!readCells) {
            state.ResumeTiming();
            stopwatch.restart();
            benchmark::DoNotOptimize(Floor::scan(db, table, false));
            reading = stopwatch.elapsed();
        }
        state.SetIterationTime(reading.wall);
        samples.add(reading, floorTime);
    }
    sqlite3_close(db);
    if (readCells)
        Floor::record(data.databasePath, table, samples.median());
    samples.reportRatios(state);
    state.counters["rows"] = table == Floor::Table::Members ? data.members : data.gifts;
}

void memberScreenLoad(benchmark::State& state, const BenchDatabase& data)
{
    showScreenBenchmark(state, data, Floor::Table::Members, QStringLiteral("Form1"),
                        [](BenchScreens&) { Class1().kelm(true); });
}

void memberScreenSaveAndReload(benchmark::State& state, const BenchDatabase& data)
{
    const PairedFloor floor(data, Floor::Table::Members);
    BenchScreens screens(data);
    const ShowTimes opened = showAndPaint(QStringLiteral("Form1"), [] { Class1().kelm(true); });
    auto* screen = qobject_cast<Form1*>(visibleWindow(QStringLiteral("Form1")));
    if (!screen || opened.rows != data.members) {
        state.SkipWithError("the member screen did not show every member");
        return;
    }
    ReportListView* list = listOf(screen);
    auto* probe = new PaintProbe(list->viewport());
    QAction* save = screen->command(QStringLiteral("保存"));
    const auto saveAndPaint = [&]() -> std::optional<Stopwatch::Reading> {
        // Save waits for a change to carry out; pressed with none, it only reads the list again.
        save->setEnabled(true);
        probe->reset();
        const Stopwatch stopwatch;
        save->trigger();
        const bool painted = probe->waitForPaint();
        const Stopwatch::Reading reading = stopwatch.elapsed();
        if (!painted || list->model()->rowCount() != data.members || screen->entryMode() != Form1::Nothing)
            return std::nullopt;
        return reading;
    };
    saveAndPaint();
    Samples samples;
    for (auto _ : state) {
        state.PauseTiming();
        const Stopwatch::Reading floorTime = floor.scan();
        state.ResumeTiming();
        const std::optional<Stopwatch::Reading> reading = saveAndPaint();
        if (!reading) {
            state.SkipWithError("save did not show every member again");
            break;
        }
        state.SetIterationTime(reading->wall);
        samples.add(*reading, floorTime);
    }
    closeScreen(QStringLiteral("Form1"));
    samples.reportRatios(state);
    state.counters["rows"] = data.members;
}

void cardLookup(benchmark::State& state, const BenchDatabase& data)
{
    const Stopwatch::Reading floor = Floor::seconds(data.databasePath, Floor::Table::Members);
    SqliteDatabase db;
    ConnectionSettings settings;
    settings.database = data.databasePath;
    db.open(settings);
    // Cards from the whole table, first row to last, looked up in a scattered order.
    std::vector<QString> cards;
    const SqlParam step[] = {qint64(std::max(1, data.members / 997))};
    db.query("SELECT 卡号 FROM kelm WHERE (rowid - 1) % ? = 0", step, [&](const Row& row) {
        cards.push_back(row.cell(0).toText());
        return true;
    });
    std::reverse(cards.begin() + static_cast<std::ptrdiff_t>(cards.size() / 2), cards.end());
    std::size_t next = 0;
    std::int64_t found = 0;
    const Stopwatch stopwatch;
    for (auto _ : state) {
        const QString& card = cards[next++ % cards.size()];
        const std::optional<MemberTable::Member> member = MemberTable::findByCard(db, card);
        benchmark::DoNotOptimize(member);
        found += member.has_value();
    }
    const Stopwatch::Reading elapsed = stopwatch.elapsed();
    if (found != state.iterations())
        state.SkipWithError("a card number was not found");
    const auto perLookup = static_cast<double>(state.iterations());
    state.counters["x_floor"] = elapsed.wall / perLookup / floor.wall;
    state.counters["x_floor_cpu"] = elapsed.cpu / perLookup / floor.cpu;
    state.counters["rows"] = data.members;
}

void memberScreenPeakMemory(benchmark::State& state, const BenchDatabase& data)
{
    for (auto _ : state) {
        // A process of its own per size, so that the peaks of the sizes do not mix.
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const Stopwatch stopwatch;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-memory-child"), data.configPath});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            state.SkipWithError("the member screen process failed");
            return;
        }
        state.SetIterationTime(stopwatch.elapsed().wall);
        // "peak_kB rows model_bytes"
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() != 3 || figures[1].toInt() != data.members) {
            state.SkipWithError("the member screen process did not show every member");
            return;
        }
        state.counters["peak_MB"] = figures[0].toDouble() / 1024;
        state.counters["model_MB"] = figures[2].toDouble() / (1024 * 1024);
        state.counters["rows"] = data.members;
    }
}

void pointsScreenGiftList(benchmark::State& state, const BenchDatabase& data)
{
    showScreenBenchmark(state, data, Floor::Table::Gifts, QStringLiteral("Form4"),
                        [](BenchScreens&) { Class1().jfgl(true); });
}

void giftCatalogue(benchmark::State& state, const BenchDatabase& data)
{
    showScreenBenchmark(state, data, Floor::Table::Gifts, QStringLiteral("Form5"),
                        [](BenchScreens& screens) { screens.registry().openGiftCatalogue(); });
}

int showMemberScreenAndPrintPeak(const QString& configPath)
{
    BenchDatabase data;
    data.configPath = configPath;
    BenchScreens screens(data);
    const ShowTimes times = showAndPaint(QStringLiteral("Form1"), [] { Class1().kelm(true); });
    ReportListView* list = listOf(visibleWindow(QStringLiteral("Form1")));
    if (times.rows < 0 || !list)
        return 1;
    std::printf("%ld %d %zu\n", statusKilobytes("VmHWM:"), times.rows, list->listModel()->bytesUsed());
    std::fflush(stdout);
    closeScreen(QStringLiteral("Form1"));
    return 0;
}

} // namespace kelm::ScreenBenchmarks
