#include "TransferCommands.h"

#include "DecimalSum.h"

#include "common/AuditTable.h"
#include "common/Blanks.h"
#include "common/CardKeyTable.h"
#include "common/Csv.h"
#include "common/GiftTable.h"
#include "common/LostCardTable.h"
#include "common/MemberTable.h"
#include "common/NumberText.h"
#include "common/RedemptionTable.h"
#include "common/Settings.h"
#include "common/SharedConnection.h"
#include "common/SqliteDatabase.h"
#include "common/TopUpTable.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace kelm::TransferCommands {

namespace {

// What export, import and copy need of a table; the statements themselves are the table's own.
struct TableAccess
{
    const char* word; // export's name for it; none for a table export does not take
    const char* name;
    std::span<const std::string_view> columns;
    std::unique_ptr<Cursor> (*openRows)(Database&);
    void (*insertRows)(Database&, std::span<const SqlParam>);
    qint64 (*count)(Database&);
    qint64 (*removeAll)(Database&);
};

// The shop's six tables, then the audit, which only a database made or upgraded by this version keeps.
const TableAccess Tables[] = {
    {"members", "kelm", MemberTable::Columns, MemberTable::openRows, MemberTable::insertRows, MemberTable::count,
     MemberTable::removeAll},
    {nullptr, "lpgl", GiftTable::Columns, GiftTable::openRows, GiftTable::insertRows, GiftTable::count,
     GiftTable::removeAll},
    {"topups", "qzjl", TopUpTable::Columns, TopUpTable::openRows, TopUpTable::insertRows, TopUpTable::count,
     TopUpTable::removeAll},
    {"redemptions", "lpdhjr", RedemptionTable::Columns, RedemptionTable::openRows, RedemptionTable::insertRows,
     RedemptionTable::count, RedemptionTable::removeAll},
    {"lost", "gs", LostCardTable::Columns, LostCardTable::openRows, LostCardTable::insertRows, LostCardTable::count,
     LostCardTable::removeAll},
    {nullptr, "bz", CardKeyTable::Columns, CardKeyTable::openRows, CardKeyTable::insertRows, CardKeyTable::count,
     CardKeyTable::removeAll},
    {nullptr, "kelm_audit", AuditTable::Columns, AuditTable::openRows, AuditTable::insertRows, AuditTable::count,
     AuditTable::removeAll},
};

constexpr std::string_view AuditTableName = "kelm_audit";

std::unique_ptr<Database> openDatabase(const ConnectionSettings& connection)
{
    auto db = SharedConnection::createDatabase(connection.engine);
    db->open(connection);
    return db;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A new file is written under a temporary name beside its own, readable by its owner only (a member
// list holds PINs and ID numbers), and takes its name only once it is complete: a full disk or a
// killed command leaves no half file under the name.
class PartFile
{
public:
    explicit PartFile(const QString& path)
        : m_target(QFileInfo(path).absoluteFilePath())
        , m_file(m_target + QStringLiteral(".XXXXXX.part"))
    {
    }
    bool open() { return m_file.open(); }
    QFile& file() { return m_file; }
    QString errorString() const { return m_file.errorString(); }

    // False, with the reason in error, when the content cannot be made durable or the name is taken
    // (replace: a file under the name is replaced).
    bool publish(bool replace, QString& error)
    {
        if (!m_file.flush() || ::fsync(m_file.handle()) != 0) {
            error = m_file.errorString().isEmpty() ? systemError() : m_file.errorString();
            return false;
        }
        const QByteArray from = QFile::encodeName(m_file.fileName());
        const QByteArray to = QFile::encodeName(m_target);
        // A link fails where a file is; a rename would replace it.
        if ((replace ? ::rename(from.constData(), to.constData()) : ::link(from.constData(), to.constData())) != 0) {
            error = errno == EEXIST ? QStringLiteral("it exists") : systemError();
            return false;
        }
        if (replace)
            m_file.setAutoRemove(false);
        return true;
    }

private:
    QString m_target;
    QTemporaryFile m_file;
};

} // namespace

bool isExportTable(const QString& word)
{
    return std::any_of(std::begin(Tables), std::end(Tables),
                       [&](const TableAccess& t) { return t.word && word == QLatin1String(t.word); });
}

int exportTable(const QString& configPath, const QString& table, const QString& file, QTextStream& out,
                QTextStream& err)
{
    const auto access = std::find_if(std::begin(Tables), std::end(Tables),
                                     [&](const TableAccess& t) { return t.word && table == QLatin1String(t.word); });
    if (access == std::end(Tables)) {
        err << "export takes members, topups, redemptions or lost, not " << table << "\n";
        return 2;
    }
    try {
        auto db = openDatabase(Settings::load(configPath).connection());
        PartFile part(file);
        if (QFileInfo(file).isDir() || !part.open()) {
            err << "cannot write " << file << ": " << (QFileInfo(file).isDir() ? QStringLiteral("it is a folder")
                                                                                : part.errorString())
                << "\n";
            return 1;
        }
        Csv::Writer writer(part.file());
        writer.writeUtf8Row(access->columns);
        const std::size_t columns = access->columns.size();
        std::vector<std::string_view> fields(columns);
        // Numbers in the standard value-to-text form (Cell::toText), spelled here without a QString.
        std::vector<std::string> numbers(columns);
        std::vector<QByteArray> repaired(columns);
        qint64 rows = 0;
        const std::unique_ptr<Cursor> cursor = access->openRows(*db);
        while (const Row* row = cursor->next()) {
            for (std::size_t i = 0; i < columns; ++i) {
                const Cell cell = row->cell(static_cast<int>(i));
                switch (cell.type) {
                case Cell::Type::Null:
                    fields[i] = {};
                    break;
                case Cell::Type::Integer: {
                    char digits[24];
                    const auto written = std::to_chars(digits, digits + sizeof digits, cell.integer);
                    numbers[i].assign(digits, written.ptr);
                    fields[i] = numbers[i];
                    break;
                }
                case Cell::Type::Real:
                    numbers[i] = NumberText::format(cell.real).toStdString();
                    fields[i] = numbers[i];
                    break;
                case Cell::Type::Text:
                    fields[i] = cell.bytes();
                    // SQLite keeps whatever bytes it was given; the file gets them as text.
                    if (!QByteArrayView(cell.text, cell.size).isValidUtf8()) {
                        repaired[i] = cell.toText().toUtf8();
                        fields[i] = {repaired[i].constData(), static_cast<std::size_t>(repaired[i].size())};
                    }
                    break;
                }
            }
            writer.writeUtf8Row(fields);
            ++rows;
        }
        QString error;
        if (!writer.flush() || !part.publish(true, error)) {
            err << "cannot write " << file << ": " << (error.isEmpty() ? part.errorString() : error) << "\n";
            return 1;
        }
        out << "wrote " << rows << " rows of " << access->name << " to " << file << "\n";
        return 0;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }
}

namespace {

// What is wrong with an import file, line by line; the first lines' problems are kept to be shown.
class Problems
{
public:
    static constexpr std::size_t Shown = 100;

    void add(qint64 line, const QString& reason)
    {
        ++m_total;
        m_first.emplace_back(line, reason);
        if (m_first.size() > 10 * Shown)
            keepFirst();
    }
    bool any() const { return m_total > 0; }

    void print(QTextStream& err)
    {
        keepFirst();
        for (const auto& [line, reason] : m_first)
            err << "line " << line << ": " << reason << "\n";
        if (m_total > static_cast<qint64>(m_first.size()))
            err << "... and " << m_total - static_cast<qint64>(m_first.size()) << " more (" << m_total << " in all)\n";
    }

private:
    void keepFirst()
    {
        std::stable_sort(m_first.begin(), m_first.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        if (m_first.size() > Shown)
            m_first.resize(Shown);
    }

    std::vector<std::pair<qint64, QString>> m_first;
    qint64 m_total = 0;
};

// The columns of a member line and what each may hold on the database's engine. SQLite keeps text of
// any length (the file's own bound of Csv::Reader::maxFieldChars holds); a server keeps no more than
// its columns do. A card number is a card's: never longer than the servers' column, on any engine.
struct ColumnRule
{
    int index;
    int serverWidth;
};

const ColumnRule TextColumns[] = {
    {0, MemberTable::Width::Date},    {2, MemberTable::Width::Name},     {3, MemberTable::Width::Address},
    {4, MemberTable::Width::Phone},   {5, MemberTable::Width::Password}, {6, MemberTable::Width::IdNumber},
};
constexpr int CardColumn = 1;
constexpr int NumberColumns[] = {7, 8};

QString shortened(const QString& text)
{
    return text.size() <= 30 ? text : text.left(30) + QStringLiteral("…");
}

bool isBlankLine(const QStringList& fields)
{
    return fields.size() == 1 && fields[0].isEmpty();
}

QString memberColumn(int index)
{
    const std::string_view name = MemberTable::Columns[index];
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QString memberHeader()
{
    QStringList names;
    for (int i = 0; i < std::ssize(MemberTable::Columns); ++i)
        names << memberColumn(i);
    return names.join(u',');
}

// A number of the file as plain digits, the form every engine's numeric column takes ("1.5E+3" is
// refused by SQL Server's); empty is 0. None for text that is no number.
std::optional<QString> numberToStore(const QString& text)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("0");
    DecimalSum number;
    const QByteArray utf8 = text.toUtf8();
    if (number.add(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))))
        return number.toText();
    if (const std::optional<double> value = NumberText::parse(text))
        return NumberText::format(*value);
    return std::nullopt;
}

// Checks every line of a member file against the rules and the database's card numbers. Returns the
// number of members when all lines are right.
std::optional<qint64> checkMemberFile(QFile& file, Database& db, bool serverWidths, QTextStream& err)
{
    Problems problems;
    Csv::Reader reader(file);
    // Each card number of the file (without trailing blanks, as cards are compared), with its line.
    std::vector<std::pair<std::string, qint64>> cards;
    qint64 members = 0;
    try {
        const std::optional<QStringList> header = reader.next();
        if (!header || header->join(u',') != memberHeader() || header->size() != std::ssize(MemberTable::Columns)) {
            err << "line 1: the first line must be the header " << memberHeader() << ", as export members writes it\n"
                << "nothing was imported\n";
            return std::nullopt;
        }
        while (const std::optional<QStringList> record = reader.next()) {
            const QStringList& f = *record;
            const qint64 line = reader.line();
            if (isBlankLine(f))
                continue;
            ++members;
            if (f.size() != std::ssize(MemberTable::Columns)) {
                problems.add(line, QStringLiteral("%1 fields, a member has %2 (%3)")
                                       .arg(f.size())
                                       .arg(std::size(MemberTable::Columns))
                                       .arg(memberHeader()));
                continue;
            }
            QStringList reasons;
            const QString card = trimTrailingBlanks(f[CardColumn]);
            if (trimBlanks(card).isEmpty())
                reasons << QStringLiteral("no card number (卡号)");
            else if (f[CardColumn].size() > MemberTable::Width::CardNumber)
                reasons << QStringLiteral("卡号 has %1 characters, at most %2")
                               .arg(f[CardColumn].size())
                               .arg(MemberTable::Width::CardNumber);
            else
                cards.emplace_back(card.toStdString(), line);
            for (const ColumnRule& rule : TextColumns) {
                if (serverWidths && f[rule.index].size() > rule.serverWidth) {
                    reasons << QStringLiteral("%1 has %2 characters, the database keeps at most %3")
                                   .arg(memberColumn(rule.index))
                                   .arg(f[rule.index].size())
                                   .arg(rule.serverWidth);
                }
            }
            for (const int column : NumberColumns) {
                if (!f[column].trimmed().isEmpty() && !NumberText::parse(f[column])) {
                    reasons << QStringLiteral("%1 is no number: %2").arg(memberColumn(column), shortened(f[column]));
                }
            }
            if (!reasons.isEmpty())
                problems.add(line, reasons.join(QStringLiteral("; ")));
        }
    } catch (const Csv::FormatError& broken) {
        problems.add(broken.line(),
                     QString::fromUtf8(broken.what()) + QStringLiteral("; the lines after it were not read"));
    }

    // A card number twice in the file, or one a member holds already.
    std::sort(cards.begin(), cards.end());
    for (std::size_t i = 1; i < cards.size(); ++i) {
        if (cards[i].first == cards[i - 1].first) {
            std::size_t first = i - 1;
            while (first > 0 && cards[first - 1].first == cards[i].first)
                --first;
            problems.add(cards[i].second, QStringLiteral("card number %1 is on line %2 already")
                                              .arg(QString::fromStdString(cards[i].first))
                                              .arg(cards[first].second));
        }
    }
    const std::unique_ptr<Cursor> held = MemberTable::openCardNumbers(db);
    while (const Row* row = held->next()) {
        const Cell cell = row->cell(0);
        if (cell.isNull())
            continue;
        const std::string card = trimTrailingBlanks(cell.toText()).toStdString();
        auto found = std::lower_bound(cards.begin(), cards.end(), std::pair<std::string, qint64>(card, 0));
        for (; found != cards.end() && found->first == card; ++found)
            problems.add(found->second,
                         QStringLiteral("a member holds card number %1 already").arg(QString::fromStdString(card)));
    }

    if (problems.any()) {
        problems.print(err);
        err << "nothing was imported\n";
        return std::nullopt;
    }
    return members;
}

} // namespace

int importMembers(const QString& configPath, const QString& path, QTextStream& out, QTextStream& err)
{
    try {
        const Settings settings = Settings::load(configPath);
        const ConnectionSettings connection = settings.connection();
        // Read twice, once to check and once to write: a pipe or a device could not be read again.
        if (!QFileInfo(path).isFile()) {
            err << "cannot read " << path << ": " << (QFileInfo::exists(path) ? "it is no file" : "no such file")
                << "\n";
            return 1;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "cannot read " << path << ": " << file.errorString() << "\n";
            return 1;
        }
        auto db = openDatabase(connection);
        const std::optional<qint64> checked = checkMemberFile(file, *db, connection.engine != Engine::Sqlite, err);
        if (!checked)
            return 1;

        // The write: the file once more, all of it in one transaction.
        file.close();
        if (!file.open(QIODevice::ReadOnly)) {
            err << "cannot read " << path << ": " << file.errorString() << "\nnothing was imported\n";
            return 1;
        }
        // Asked before the transaction: on PostgreSQL a failed probe would end it.
        const bool audited = AuditTable::exists(*db);
        Transaction transaction(*db);
        const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString till = settings.till();
        const QString note = QStringLiteral("kelm-admin import %1").arg(QFileInfo(path).fileName()).left(1000);
        constexpr std::size_t Batch = 100;
        std::vector<SqlParam> members;
        std::vector<SqlParam> audit;
        members.reserve(Batch * std::size(MemberTable::Columns));
        audit.reserve(Batch * std::size(AuditTable::Columns));
        const auto write = [&] {
            MemberTable::insertRows(*db, members);
            if (audited)
                AuditTable::insertRows(*db, audit);
            members.clear();
            audit.clear();
        };
        const QString changed = QStringLiteral("%1 changed while it was imported; nothing was imported").arg(path);
        Csv::Reader reader(file);
        reader.next(); // the header, checked
        qint64 added = 0;
        while (const std::optional<QStringList> record = reader.next()) {
            const QStringList& f = *record;
            if (isBlankLine(f))
                continue;
            if (f.size() != std::ssize(MemberTable::Columns))
                throw Error(changed.toStdString());
            const std::optional<QString> balance = numberToStore(f[7]);
            const std::optional<QString> points = numberToStore(f[8]);
            if (!balance || !points)
                throw Error(changed.toStdString());
            for (int i = 0; i < 7; ++i)
                members.emplace_back(f[i]);
            members.emplace_back(*balance);
            members.emplace_back(*points);
            if (audited) {
                const QString after = QStringLiteral("姓名 %1；地址 %2；电话 %3；身份证号 %4；余额 %5；积分 %6")
                                          .arg(f[2], f[3], f[4], f[6], *balance, *points);
                for (const QString& cell : {now, till, QStringLiteral("kelm-admin"), trimTrailingBlanks(f[CardColumn]),
                                            QStringLiteral("会员添加"), QString(), after, note})
                    audit.emplace_back(cell);
            }
            ++added;
            if (members.size() >= Batch * std::size(MemberTable::Columns))
                write();
        }
        write();
        if (added != *checked)
            throw Error(changed.toStdString());
        transaction.commit();
        out << "added " << added << " members" << (audited ? ", each with its row in the audit" : "") << "\n";
        return 0;
    } catch (const Csv::FormatError& broken) {
        err << "line " << broken.line() << ": " << QString::fromUtf8(broken.what()) << "\nnothing was imported\n";
        return 1;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\nnothing was imported\n";
        return 1;
    }
}

int backup(const QString& configPath, const QString& file, QTextStream& out, QTextStream& err)
{
    try {
        const ConnectionSettings connection = Settings::load(configPath).connection();
        switch (connection.engine) {
        case Engine::PostgreSql:
        case Engine::PostgreSqlOdbc:
            err << "backup copies an SQLite database file; back a PostgreSQL database up with pg_dump, for example\n"
                << "  pg_dump -Fc -h HOST -U OWNER -f " << file << " " << connection.database << "\n";
            return 1;
        case Engine::SqlServer:
            err << "backup copies an SQLite database file; back an SQL Server database up with the server's own\n"
                << "  BACKUP DATABASE [" << connection.database << "] TO DISK = N'...'\n";
            return 1;
        case Engine::Sqlite:
            break;
        }
        const QFileInfo target(file);
        if (target.exists() || target.isSymLink()) {
            err << file << " exists; backup never replaces a file\n";
            return 1;
        }
        SqliteDatabase db;
        db.open(connection);
        PartFile part(file);
        if (!part.open()) {
            err << "cannot write " << file << ": " << part.errorString() << "\n";
            return 1;
        }
        db.backupTo(part.file().fileName());
        QString error;
        if (!part.publish(false, error)) {
            err << "cannot write " << file << ": " << error << "\n";
            return 1;
        }
        out << "backed " << db.path() << " up to " << file << "\n";
        return 0;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }
}

namespace {

// Whether two configurations name one database: a copy onto itself would delete what it reads.
bool sameDatabase(const ConnectionSettings& a, const ConnectionSettings& b)
{
    const bool aSqlite = a.engine == Engine::Sqlite;
    if (aSqlite != (b.engine == Engine::Sqlite))
        return false;
    if (aSqlite) {
        const QFileInfo fileA(QDir(a.baseFolder).absoluteFilePath(a.database));
        const QFileInfo fileB(QDir(b.baseFolder).absoluteFilePath(b.database));
        return fileA.canonicalFilePath() == fileB.canonicalFilePath() && fileA.exists();
    }
    return a.server.trimmed().compare(b.server.trimmed(), Qt::CaseInsensitive) == 0
        && a.database.trimmed().compare(b.database.trimmed(), Qt::CaseInsensitive) == 0;
}

// A cell as the copy sends it on. A double goes as the shortest digits that read back as it, without
// an exponent: what the source's sum counted, and what every engine's numeric column stores exactly
// (psqlODBC would send a double's seventeen digits, and PostgreSQL keep 150.55000000000001 for 150.55;
// SQL Server reads no exponent into a decimal).
SqlParam copyParam(const Cell& cell)
{
    if (cell.type == Cell::Type::Real && !cell.text && std::isfinite(cell.real)) {
        char digits[400]; // the longest double, 2^-1074, takes 326 characters
        const auto written = std::to_chars(digits, digits + sizeof digits, cell.real, std::chars_format::fixed);
        if (written.ec == std::errc())
            return QString::fromLatin1(digits, written.ptr - digits);
    }
    return cell.toParam();
}

struct Totals
{
    std::vector<qint64> rows; // per copied table
    DecimalSum balances;
    DecimalSum points;
};

Totals totalsOf(Database& db, const std::vector<const TableAccess*>& tables)
{
    Totals totals;
    for (const TableAccess* table : tables)
        totals.rows.push_back(table->count(db));
    const std::unique_ptr<Cursor> cursor = MemberTable::openBalancesAndPoints(db);
    while (const Row* row = cursor->next()) {
        totals.balances.add(row->cell(0));
        totals.points.add(row->cell(1));
    }
    return totals;
}

} // namespace

int copy(const QString& configPath, const QString& targetConfigPath, bool replace, QTextStream& out,
         QTextStream& err)
{
    try {
        const ConnectionSettings from = Settings::load(configPath).connection();
        const ConnectionSettings to = Settings::load(targetConfigPath).connection();
        if (sameDatabase(from, to)) {
            err << configPath << " and " << targetConfigPath << " name the same database; copy needs another one\n";
            return 1;
        }
        auto source = openDatabase(from);
        auto target = openDatabase(to);

        std::vector<const TableAccess*> tables;
        for (const TableAccess& table : Tables) {
            const bool audit = table.name == AuditTableName;
            const bool inSource = hasTable(*source, table.name);
            const bool inTarget = hasTable(*target, table.name);
            if (audit && inSource && !inTarget) {
                out << "the audit (kelm_audit) is not copied: the target keeps none; kelm-admin --config "
                    << targetConfigPath << " upgrade adds it\n";
            }
            if (audit && (!inSource || !inTarget))
                continue;
            if (!inSource) {
                err << "the database " << configPath << " names has no table " << table.name << "\n";
                return 1;
            }
            if (!inTarget) {
                err << "the database " << targetConfigPath << " names has no table " << table.name
                    << "; create its tables with: kelm-admin --config " << targetConfigPath << " init\n";
                return 1;
            }
            tables.push_back(&table);
        }

        Transaction transaction(*target);
        // The card key byte that init put there gives way to the shop's own, which its cards carry.
        QStringList held;
        for (const TableAccess* table : tables) {
            const qint64 rows = table->name == std::string_view("bz") ? 0 : table->count(*target);
            if (rows > 0)
                held << QStringLiteral("%1 rows in %2").arg(rows).arg(QLatin1String(table->name));
        }
        if (!held.isEmpty() && !replace) {
            err << "the database " << targetConfigPath << " names holds " << held.join(QStringLiteral(", "))
                << " already; --replace deletes them first\n";
            return 1;
        }
        for (const TableAccess* table : tables)
            table->removeAll(*target);

        constexpr std::size_t Batch = 100;
        std::vector<SqlParam> cells;
        for (const TableAccess* table : tables) {
            const std::size_t columns = table->columns.size();
            cells.reserve(Batch * columns);
            try {
                const std::unique_ptr<Cursor> cursor = table->openRows(*source);
                while (const Row* row = cursor->next()) {
                    for (std::size_t i = 0; i < columns; ++i)
                        cells.push_back(copyParam(row->cell(static_cast<int>(i))));
                    if (cells.size() >= Batch * columns) {
                        table->insertRows(*target, cells);
                        cells.clear();
                    }
                }
                table->insertRows(*target, cells);
                cells.clear();
            } catch (const DatabaseError& failure) {
                throw DatabaseError("copying " + std::string(table->name) + ": " + failure.what());
            }
        }

        // Both sides counted and summed by themselves: the copy, not yet committed, against the source
        // as it stands now (a till that wrote to it meanwhile shows here).
        const Totals here = totalsOf(*source, tables);
        const Totals there = totalsOf(*target, tables);
        bool same = true;
        const auto line = [&](const QString& what, const QString& a, const QString& b) {
            out << what << ": " << a << " in the source, " << b << " in the copy" << (a == b ? "" : "  <- differs")
                << "\n";
            same = same && a == b;
        };
        for (std::size_t i = 0; i < tables.size(); ++i)
            line(QStringLiteral("rows in ") + QLatin1String(tables[i]->name), QString::number(here.rows[i]),
                 QString::number(there.rows[i]));
        line(QStringLiteral("sum of kelm.余额"), here.balances.toText(), there.balances.toText());
        line(QStringLiteral("sum of kelm.积分"), here.points.toText(), there.points.toText());
        if (!same) {
            err << "the copy differs from the source (did a till work on it meanwhile, or does the target's column "
                   "round?); nothing was written to the database "
                << targetConfigPath << " names\n";
            return 1;
        }
        transaction.commit();
        out << "copied to the database " << targetConfigPath << " names\n";
        return 0;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }
}

} // namespace kelm::TransferCommands
