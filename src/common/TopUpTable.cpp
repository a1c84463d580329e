#include "common/TopUpTable.h"

#include "common/Blanks.h"

namespace kelm::TopUpTable {

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

void insert(Database& db, const Record& t)
{
    const SqlParam params[] = {t.date, t.cardNumber, t.holder, t.business, t.amountText, t.operatorName};
    db.execute("insert into [qzjl] (日期,卡号,持卡人,业务,金额,操作员) values (?,?,?,?,?,?)", params);
}

std::vector<Stored> selectByCard(Database& db, const QString& cardNumber)
{
    std::vector<Stored> rows;
    const SqlParam params[] = {trimTrailingBlanks(cardNumber)};
    db.query("SELECT 日期,卡号,持卡人,业务,金额,操作员 FROM qzjl WHERE rtrim(卡号)=?", params, [&](const Row& row) {
        const Cell amount = row.cell(4);
        rows.push_back({{textOf(row.cell(0)), textOf(row.cell(1)), textOf(row.cell(2)), textOf(row.cell(3)),
                         textOf(amount), textOf(row.cell(5))},
                        Amount::fromCell(amount)});
        return true;
    });
    return rows;
}

void scan(Database& db, const std::function<void(const Scanned&)>& onRow)
{
    const std::unique_ptr<Cursor> cursor = db.openCursor("SELECT 日期,卡号,金额,操作员 FROM qzjl", {});
    while (const Row* row = cursor->next())
        onRow({bytesOf(row->cell(0)), bytesOf(row->cell(1)), row->cell(2), bytesOf(row->cell(3))});
}

std::unique_ptr<Cursor> openRows(Database& db)
{
    return db.openCursor("SELECT 日期,卡号,持卡人,业务,金额,操作员 FROM qzjl", {});
}

void insertRows(Database& db, std::span<const SqlParam> cells)
{
    kelm::insertRows(db, "insert into [qzjl] (日期,卡号,持卡人,业务,金额,操作员) values ", std::size(Columns), cells);
}

qint64 count(Database& db)
{
    return countOf(db, "SELECT count(*) FROM qzjl");
}

qint64 removeAll(Database& db)
{
    return db.execute("delete from qzjl", {});
}

} // namespace kelm::TopUpTable
