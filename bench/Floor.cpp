#include "Floor.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kelm::Floor {

namespace {

// "SELECT * FROM kelm": 日期 卡号 姓名 联系地址 联系电话 密码 身份证号 余额 积分, shown as
// 日期 姓名 卡号 身份证号 联系地址 联系电话 余额 积分. "SELECT * FROM lpgl ": id 名称 数量 积分,
// shown as 名称 积分 数量.
constexpr int MemberColumns[] = {0, 2, 1, 6, 3, 4, 7, 8};
constexpr int GiftColumns[] = {1, 3, 2};
// "SELECT * FROM qzjl": 日期 卡号 持卡人 业务 金额 操作员, every one read by the reports.
constexpr int TopUpColumns[] = {0, 1, 2, 3, 4, 5};

std::map<std::pair<QString, Table>, Stopwatch::Reading>& recorded()
{
    static std::map<std::pair<QString, Table>, Stopwatch::Reading> times;
    return times;
}

} // namespace

sqlite3* open(const QString& path)
{
    sqlite3* db = nullptr;
    // Without the connection's mutex, as kelm's own connection: the floor is the cheapest scan.
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path.toStdString());
    }
    return db;
}

std::size_t scan(sqlite3* db, Table table, bool readCells)
{
    const char* sql = table == Table::Members ? "SELECT * FROM kelm"
        : table == Table::Gifts                ? "SELECT * FROM lpgl "
                                               : "SELECT * FROM qzjl";
    const auto columns = table == Table::Members ? std::span<const int>(MemberColumns)
        : table == Table::Gifts                  ? std::span<const int>(GiftColumns)
                                                 : std::span<const int>(TopUpColumns);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    std::size_t bytes = 0;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (!readCells) {
            ++bytes;
            continue;
        }
        for (const int column : columns) {
            const unsigned char* text = sqlite3_column_text(statement, column);
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement, column)) + (text ? 1 : 0);
        }
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(db));
    return bytes;
}

Stopwatch::Reading seconds(const QString& path, Table table)
{
    const auto known = recorded().find({path, table});
    if (known != recorded().end())
        return known->second;
    sqlite3* db = open(path);
    std::vector<double> wall, cpu;
    scan(db, table); // into the page cache first
    for (int i = 0; i < 5; ++i) {
        const Stopwatch stopwatch;
        scan(db, table);
        const Stopwatch::Reading run = stopwatch.elapsed();
        wall.push_back(run.wall);
        cpu.push_back(run.cpu);
    }
    sqlite3_close(db);
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    record(path, table, {wall[wall.size() / 2], cpu[cpu.size() / 2]});
    return recorded()[{path, table}];
}

void record(const QString& path, Table table, Stopwatch::Reading median)
{
    recorded()[{path, table}] = median;
}

} // namespace kelm::Floor
