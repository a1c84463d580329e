#include "common/CardKeyTable.h"

namespace kelm::CardKeyTable {

std::optional<QString> selectIdentifier(Database& db)
{
    std::optional<QString> identifier;
    db.query("SELECT * FROM bz", {}, [&](const Row& row) {
        identifier = row.cell("标识").toText();
        return false;
    });
    return identifier;
}

void insert(Database& db, const QString& identifier)
{
    const SqlParam params[] = {identifier};
    db.execute("insert into bz (标识) values (?)", params);
}

std::unique_ptr<Cursor> openRows(Database& db)
{
    return db.openCursor("SELECT 标识 FROM bz", {});
}

void insertRows(Database& db, std::span<const SqlParam> cells)
{
    kelm::insertRows(db, "insert into bz (标识) values ", std::size(Columns), cells);
}

qint64 count(Database& db)
{
    return countOf(db, "SELECT count(*) FROM bz");
}

qint64 removeAll(Database& db)
{
    return db.execute("delete from bz", {});
}

} // namespace kelm::CardKeyTable
