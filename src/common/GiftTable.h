#pragma once

#include "common/Database.h"

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
// The id of the first gift with that name; no value when there is none.
std::optional<qint64> selectIdByName(Database& db, const QString& name);
void insert(Database& db, const Record& gift);
qint64 update(Database& db, qint64 id, const Record& gift);
qint64 updateQuantityByName(Database& db, const QString& name, const QString& quantityText);
qint64 remove(Database& db, qint64 id);

} // namespace GiftTable
} // namespace kelm
