#include "BooksBenchmarks.h"

#include "PairedFloor.h"

#include "common/Books.h"
#include "common/SqliteDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace kelm::BooksBenchmarks {

namespace {

// The year the benchmark's top-ups fall in.
const Books::Period Year{QDate(2026, 1, 1), QDate(2026, 12, 31)};

// Opens the benchmark database as kelm-admin and the accounts screen do.
class BooksDatabase
{
public:
    explicit BooksDatabase(const BenchDatabase& data)
    {
        ConnectionSettings settings;
        settings.database = data.databasePath;
        m_db.open(settings);
    }
    Database& operator*() { return m_db; }

private:
    SqliteDatabase m_db;
};

// Runs report once per iteration beside a floor scan of table; check says what is wrong with a
// report's result, or nothing.
template <typename Report>
void reportBenchmark(benchmark::State& state, const BenchDatabase& data, Floor::Table table, Report report)
{
    const PairedFloor floor(data, table);
    BooksDatabase db(data);
    report(*db); // the file in the page cache
    Samples samples;
    for (auto _ : state) {
        state.PauseTiming();
        const Stopwatch::Reading floorTime = floor.scan();
        state.ResumeTiming();
        const Stopwatch stopwatch;
        const QString wrong = report(*db);
        const Stopwatch::Reading reading = stopwatch.elapsed();
        if (!wrong.isEmpty()) {
            state.SkipWithError(wrong.toUtf8().constData());
            return;
        }
        state.SetIterationTime(reading.wall);
        samples.add(reading, floorTime);
    }
    samples.reportRatios(state);
    state.counters["rows"] = table == Floor::Table::TopUps ? data.topUps : data.members;
}

} // namespace

void dayReport(benchmark::State& state, const BenchDatabase& data)
{
    reportBenchmark(state, data, Floor::Table::TopUps, [&data](Database& db) {
        const Books::DayReport report = Books::dayReport(db, Year);
        // Every row is counted or listed as unreadable.
        const qint64 seen = report.topUpCount + static_cast<qint64>(std::count_if(
            report.unreadable.begin(), report.unreadable.end(), [](const Books::Unreadable& row) { return row.table == u"qzjl"; }));
        return seen == data.topUps ? QString() : QStringLiteral("the day report saw %1 of %2 top-ups").arg(seen).arg(data.topUps);
    });
}

void dailyTopUps(benchmark::State& state, const BenchDatabase& data)
{
    reportBenchmark(state, data, Floor::Table::TopUps, [](Database& db) {
        const std::vector<Books::DailyTotal> days = Books::dailyTopUps(db, Year);
        return days.size() == 365 ? QString() : QStringLiteral("%1 days instead of 365").arg(days.size());
    });
}

void liability(benchmark::State& state, const BenchDatabase& data)
{
    reportBenchmark(state, data, Floor::Table::Members, [&data](Database& db) {
        const Books::Liability owed = Books::liability(db);
        return owed.members == data.members ? QString() : QStringLiteral("%1 members counted").arg(owed.members);
    });
}

void memberHistory(benchmark::State& state, const BenchDatabase& data)
{
    BooksDatabase db(data);
    // Cards from all over the table, each with its history.
    std::vector<QString> cards;
    (*db).query("SELECT 卡号 FROM qzjl WHERE rowid % 997 = 0", {}, [&](const Row& row) {
        cards.push_back(row.cell(0).toText());
        return true;
    });
    std::size_t next = 0;
    qint64 lines = 0;
    for (auto _ : state) {
        const std::optional<Books::MemberHistory> history = Books::memberHistory(*db, cards[next++ % cards.size()]);
        if (!history || history->lines.empty()) {
            state.SkipWithError("a card's history was not found");
            return;
        }
        lines += static_cast<qint64>(history->lines.size());
    }
    state.counters["lines"] = benchmark::Counter(static_cast<double>(lines) / static_cast<double>(state.iterations()));
    state.counters["rows"] = data.topUps;
}

void exportMembers(benchmark::State& state, const BenchDatabase& data)
{
    const PairedFloor floor(data, Floor::Table::Members);
    const QString admin = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kelm-admin"));
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("members.csv"));
    // kelm-admin as a shop owner runs it: its start, its connection and the whole file.
    const auto exportOnce = [&]() -> std::optional<Stopwatch::Reading> {
        QFile::remove(file);
        QProcess admin_;
        const Stopwatch stopwatch;
        admin_.start(admin, {QStringLiteral("--config"), data.configPath, QStringLiteral("export"),
                             QStringLiteral("members"), file});
        if (!admin_.waitForFinished(600000) || admin_.exitStatus() != QProcess::NormalExit || admin_.exitCode() != 0)
            return std::nullopt;
        return stopwatch.elapsed();
    };
    if (!exportOnce()) {
        state.SkipWithError("kelm-admin export members failed");
        return;
    }
    Samples samples;
    for (auto _ : state) {
        state.PauseTiming();
        const Stopwatch::Reading floorTime = floor.scan();
        state.ResumeTiming();
        const std::optional<Stopwatch::Reading> reading = exportOnce();
        if (!reading) {
            state.SkipWithError("kelm-admin export members failed");
            return;
        }
        state.SetIterationTime(reading->wall);
        // The processor time is the child's, which this thread's clock does not see: the ratio is
        // of wall times only.
        samples.add({reading->wall, reading->wall}, {floorTime.wall, floorTime.wall});
    }
    samples.reportRatios(state);
    state.counters["MB"] = static_cast<double>(QFileInfo(file).size()) / 1e6;
    state.counters["rows"] = data.members;
}

} // namespace kelm::BooksBenchmarks
