#include "common/RedemptionTable.h"

#include "common/Blanks.h"

namespace kelm::RedemptionTable {

namespace {

QString textOf(const Cell& cell)
{
    return cell.isNull() ? QString() : cell.toText();
}

std::string_view bytesOf(const Cell& cell)
{
    return cell.type == Cell::Type::Text ? cell.bytes() : std::string_view();
}

} // namespace

void insert(Database& db, const Record& r)
{
    const SqlParam params[] = {r.date, r.cardNumber, r.name, r.gift, r.pointsText, r.operatorName};
    db.execute("insert into [lpdhjr] (日期,卡号,姓名,礼品,数量,积分,操作员) values (?,?,?,?,'1',?,?)", params);
}

std::vector<Stored> selectByCard(Database& db, const QString& cardNumber)
{
    std::vector<Stored> rows;
    const SqlParam params[] = {trimTrailingBlanks(cardNumber)};
    db.query("SELECT 日期,卡号,姓名,礼品,积分,操作员 FROM lpdhjr WHERE rtrim(卡号)=?", params, [&](const Row& row) {
        const Cell points = row.cell(4);
        rows.push_back({{textOf(row.cell(0)), textOf(row.cell(1)), textOf(row.cell(2)), textOf(row.cell(3)),
                         textOf(points), textOf(row.cell(5))},
                        Amount::fromCell(points)});
        return true;
    });
    return rows;
}

void scan(Database& db, const std::function<void(const Scanned&)>& onRow)
{
    const std::unique_ptr<Cursor> cursor = db.openCursor("SELECT 日期,卡号,礼品,积分,操作员 FROM lpdhjr", {});
    while (const Row* row = cursor->next())
        onRow({bytesOf(row->cell(0)), bytesOf(row->cell(1)), bytesOf(row->cell(2)), row->cell(3),
               bytesOf(row->cell(4))});
}

std::unique_ptr<Cursor> openRows(Database& db)
{
    return db.openCursor("SELECT 日期,卡号,姓名,礼品,数量,积分,操作员 FROM lpdhjr", {});
}

void insertRows(Database& db, std::span<const SqlParam> cells)
{
    kelm::insertRows(db, "insert into [lpdhjr] (日期,卡号,姓名,礼品,数量,积分,操作员) values ", std::size(Columns), cells);
}

qint64 count(Database& db)
{
    return countOf(db, "SELECT count(*) FROM lpdhjr");
}

qint64 removeAll(Database& db)
{
    return db.execute("delete from lpdhjr", {});
}

} // namespace kelm::RedemptionTable
