#pragma once

#include "common/Database.h"
#include "common/StoredNumber.h"

#include <optional>

namespace kelm {

// Table lpgl: the gift catalogue. A gift is found by its database-assigned id, or by its name.
namespace GiftTable {

inline constexpr std::string_view SelectAll = "SELECT * FROM lpgl ";

struct Record
{
    QString name;
    QString quantityText;
    QString pointsText;
};

// The most characters 名称 holds on every engine (the schema files in sql/).
inline constexpr int NameWidth = 255;

void selectAll(Database& db, const RowHandler& onRow);
// The gift with this id as the table holds it; none when it is gone.
std::optional<Record> selectById(Database& db, qint64 id);
// Whether a gift other than exceptId has this name, blanks around the stored names not counting.
bool nameTaken(Database& db, const QString& trimmedName, std::optional<qint64> exceptId);
// The id of the first gift with that name; no value when there is none.
std::optional<qint64> selectIdByName(Database& db, const QString& name);
void insert(Database& db, const Record& gift);
qint64 update(Database& db, qint64 id, const Record& gift);
// The stock of the gift with this name as the table holds it now; none when no gift has the name.
std::optional<StoredNumber> quantityByName(Database& db, const QString& name);
// Writes the new stock of the gift with this name only while its stock is still `was` (NULL for a
// stock that was NULL): a redemption another till made in between is never written over. Returns
// 0 when the stock changed or the gift is gone. Run it in a transaction: when two gifts share the
// name it throws, and the rollback undoes the write.
qint64 updateQuantityIfUnchanged(Database& db, const QString& name, const QString& quantityText, const SqlParam& was);
qint64 remove(Database& db, qint64 id);

// The columns in the order the whole-row statements below read and write them; id is left to the
// database, which numbers new rows itself.
inline constexpr std::string_view Columns[] = {"名称", "数量", "积分"};
// Every row's cells in the order of Columns, oldest first, read at the reader's pace.
std::unique_ptr<Cursor> openRows(Database& db);
// Whole rows, their cells in the order of Columns one row after the other, in few statements.
void insertRows(Database& db, std::span<const SqlParam> cells);
qint64 count(Database& db);
qint64 removeAll(Database& db);

} // namespace GiftTable
} // namespace kelm
