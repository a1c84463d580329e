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

} // namespace kelm::CardKeyTable
