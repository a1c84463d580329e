#include "common/GiftTable.h"

namespace kelm::GiftTable {

void selectAll(Database& db, const RowHandler& onRow)
{
    db.query(SelectAll, {}, onRow);
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

qint64 updateQuantityByName(Database& db, const QString& name, const QString& quantityText)
{
    const SqlParam params[] = {quantityText, name};
    return db.execute("update lpgl set 数量=? where 名称=?", params);
}

qint64 remove(Database& db, qint64 id)
{
    const SqlParam params[] = {id};
    return db.execute("delete from lpgl where id=?", params);
}

} // namespace kelm::GiftTable
