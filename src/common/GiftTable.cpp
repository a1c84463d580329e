#include "common/GiftTable.h"

#include <vector>

namespace kelm::GiftTable {

void selectAll(Database& db, const RowHandler& onRow)
{
    db.query(SelectAll, {}, onRow);
}

std::optional<Record> selectById(Database& db, qint64 id)
{
    std::optional<Record> gift;
    const SqlParam params[] = {id};
    db.query("SELECT 名称,数量,积分 FROM lpgl WHERE id=?", params, [&](const Row& row) {
        const auto text = [&](int column) { return row.cell(column).isNull() ? QString() : row.cell(column).toText(); };
        gift = Record{text(0), text(1), text(2)};
        return false;
    });
    return gift;
}

bool nameTaken(Database& db, const QString& trimmedName, std::optional<qint64> exceptId)
{
    bool taken = false;
    const auto found = [&](const Row&) {
        taken = true;
        return false;
    };
    if (exceptId) {
        const SqlParam params[] = {trimmedName, *exceptId};
        db.query("SELECT 1 FROM lpgl WHERE ltrim(rtrim(名称))=? AND id<>?", params, found);
    } else {
        const SqlParam params[] = {trimmedName};
        db.query("SELECT 1 FROM lpgl WHERE ltrim(rtrim(名称))=?", params, found);
    }
    return taken;
}

std::optional<qint64> selectIdByName(Database& db, const QString& name)
{
    std::optional<qint64> id;
    const SqlParam params[] = {name};
    db.query("SELECT id FROM lpgl WHERE 名称=?", params, [&](const Row& row) {
        const Cell cell = row.cell(0);
        id = cell.type == Cell::Type::Integer ? cell.integer : static_cast<qint64>(cell.toNumber());
        return false;
    });
    return id;
}

void insert(Database& db, const Record& g)
{
    const SqlParam params[] = {g.name, g.quantityText, g.pointsText};
    db.execute("insert into lpgl (名称,数量,积分) values (?,?,?)", params);
}

qint64 update(Database& db, qint64 id, const Record& g)
{
    const SqlParam params[] = {g.name, g.quantityText, g.pointsText, id};
    return db.execute("update lpgl set 名称=?,数量=?,积分=? where id=?", params);
}

std::optional<StoredNumber> quantityByName(Database& db, const QString& name)
{
    std::optional<StoredNumber> quantity;
    const SqlParam params[] = {name};
    db.query("SELECT 数量 FROM lpgl WHERE 名称=?", params, [&](const Row& row) {
        quantity = StoredNumber::from(row.cell(0));
        return false;
    });
    return quantity;
}

qint64 updateQuantityIfUnchanged(Database& db, const QString& name, const QString& quantityText, const SqlParam& was)
{
    const bool wasNull = std::holds_alternative<std::monostate>(was);
    std::vector<SqlParam> params = {quantityText, name};
    if (!wasNull)
        params.push_back(was);
    const qint64 changed =
        db.execute(wasNull ? "update lpgl set 数量=? where 名称=? and 数量 is null" : "update lpgl set 数量=? where 名称=? and 数量=?",
                   params);
    if (changed > 1) {
        throw RefusalError(QStringLiteral("名称为“%1”的礼品有 %2 件，无法确定是哪一件，本次操作没有进行。请在礼品管理中修改重名的礼品。")
                                .arg(name)
                                .arg(changed)
                                .toStdString());
    }
    return changed;
}

qint64 remove(Database& db, qint64 id)
{
    const SqlParam params[] = {id};
    return db.execute("delete from lpgl where id=?", params);
}

std::unique_ptr<Cursor> openRows(Database& db)
{
    return db.openCursor("SELECT 名称,数量,积分 FROM lpgl ORDER BY id", {});
}

void insertRows(Database& db, std::span<const SqlParam> cells)
{
    kelm::insertRows(db, "insert into lpgl (名称,数量,积分) values ", std::size(Columns), cells);
}

qint64 count(Database& db)
{
    return countOf(db, "SELECT count(*) FROM lpgl");
}

qint64 removeAll(Database& db)
{
    return db.execute("delete from lpgl", {});
}

} // namespace kelm::GiftTable
