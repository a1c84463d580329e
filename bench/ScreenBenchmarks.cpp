#include "ScreenBenchmarks.h"

#include "PaintProbe.h"
#include "PairedFloor.h"
#include "PostgresData.h"
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
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kelm::ScreenBenchmarks {

namespace {

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
    Stopwatch::Reading show;     // building the screen, its load (settings, connection, first rows) and show
    Stopwatch::Reading paint;    // from there to the list's first paint
    Stopwatch::Reading complete; // from the show to the list holding every row
    int rows = -1;

    Stopwatch::Reading firstPaint() const { return {show.wall + paint.wall, show.cpu + paint.cpu}; }
};

// Waits, handling events, until the list has read every row.
void waitForTheWholeList(ReportListView* list)
{
    while (list->listModel()->isFilling())
        QCoreApplication::processEvents();
}

// Runs show, then handles events until the list of the screen objectName has been painted, then
// until it holds every row.
ShowTimes showAndPaint(const QString& objectName, const std::function<void()>& show)
{
    ShowTimes times;
    Stopwatch stopwatch;
    show();
    times.show = stopwatch.elapsed();
    ReportListView* list = listOf(visibleWindow(objectName));
    if (!list)
        return times;
    Stopwatch painting;
    if (!(new PaintProbe(list->viewport()))->waitForPaint())
        return times;
    times.paint = painting.elapsed();
    waitForTheWholeList(list);
    times.complete = stopwatch.elapsed();
    times.rows = list->model()->rowCount();
    return times;
}

void closeScreen(const QString& objectName)
{
    if (QWidget* screen = visibleWindow(objectName))
        screen->close();
    BenchScreens::settle();
}

enum class Until { FirstPaint, WholeList };

// Shows and closes a screen once per iteration; the time of an iteration runs from the show to
// the list's first paint, or to the list holding every row.
void showScreenBenchmark(benchmark::State& state, const BenchDatabase& data, Floor::Table table,
                         const QString& objectName, const std::function<void(BenchScreens&)>& show,
                         Until until = Until::FirstPaint)
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
        const Stopwatch::Reading reading = until == Until::FirstPaint ? times.firstPaint() : times.complete;
        state.SetIterationTime(reading.wall);
        totals.add(reading, floorTime);
        shows.push_back(times.show.wall);
        paints.push_back(times.firstPaint().wall);
    }
    state.counters["show_ms"] = median(shows) * 1e3;
    state.counters["first_paint_ms"] = median(paints) * 1e3;
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
    state.counters["rows"] = table == Floor::Table::Members ? data.members
        : table == Floor::Table::Gifts                     ? data.gifts
                                                           : data.topUps;
}

void memberScreenFirstPaint(benchmark::State& state, const BenchDatabase& data)
{
    showScreenBenchmark(state, data, Floor::Table::Members, QStringLiteral("Form1"),
                        [](BenchScreens&) { Class1().kelm(true); });
}

void memberScreenLoad(benchmark::State& state, const BenchDatabase& data)
{
    showScreenBenchmark(
        state, data, Floor::Table::Members, QStringLiteral("Form1"), [](BenchScreens&) { Class1().kelm(true); },
        Until::WholeList);
}

namespace {

// The member screen shown with its whole list, for the benchmarks that work on it.
Form1* openedMemberScreen(benchmark::State& state, const BenchDatabase& data)
{
    const ShowTimes opened = showAndPaint(QStringLiteral("Form1"), [] { Class1().kelm(true); });
    auto* screen = qobject_cast<Form1*>(visibleWindow(QStringLiteral("Form1")));
    if (!screen || opened.rows != data.members) {
        state.SkipWithError("the member screen did not show every member");
        return nullptr;
    }
    return screen;
}

} // namespace

void memberScreenSaveAndReload(benchmark::State& state, const BenchDatabase& data)
{
    const PairedFloor floor(data, Floor::Table::Members);
    BenchScreens screens(data);
    Form1* screen = openedMemberScreen(state, data);
    if (!screen)
        return;
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
        waitForTheWholeList(list);
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

void memberSearchKeystroke(benchmark::State& state, const BenchDatabase& data)
{
    const PairedFloor floor(data, Floor::Table::Members);
    BenchScreens screens(data);
    Form1* screen = openedMemberScreen(state, data);
    if (!screen)
        return;
    ReportListView* list = listOf(screen);
    // The last member's card number, completed by its last keystroke on the first row: the search looks
    // through the whole list, the slowest a keystroke can be.
    const QString last = list->model()->index(data.members - 1, 3).data().toString();
    QTest::keyClick(screen, Qt::Key_F, Qt::ControlModifier);
    auto* find = screen->findChild<QLineEdit*>(QStringLiteral("FindText"));
    Samples samples;
    std::vector<double> worst;
    for (auto _ : state) {
        state.PauseTiming();
        const Stopwatch::Reading floorTime = floor.scan();
        // The text but its last character is put there without a search; the list stands on the first row.
        find->setText(last.left(last.size() - 1));
        list->setCurrentIndex(list->model()->index(0, 1));
        state.ResumeTiming();
        const Stopwatch stopwatch;
        QTest::keyClick(find, last.back().toLatin1());
        const Stopwatch::Reading reading = stopwatch.elapsed();
        if (list->currentIndex().row() != data.members - 1) {
            state.SkipWithError("the keystroke did not find the last member");
            break;
        }
        state.SetIterationTime(reading.wall);
        samples.add(reading, floorTime);
        worst.push_back(reading.wall);
    }
    closeScreen(QStringLiteral("Form1"));
    samples.reportRatios(state);
    state.counters["worst_ms"] = *std::max_element(worst.begin(), worst.end()) * 1e3;
    state.counters["rows"] = data.members;
}

void floorLibpq(benchmark::State& state, const BenchDatabase& data)
{
    const PairedFloor floor(data, Floor::Table::Members);
    floor.scan(); // the table in the server's cache
    Samples samples;
    for (auto _ : state) {
        const Stopwatch::Reading reading = floor.scan();
        state.SetIterationTime(reading.wall);
        samples.add(reading, reading);
    }
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
