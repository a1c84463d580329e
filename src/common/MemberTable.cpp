#include "common/MemberTable.h"

namespace kelm::MemberTable {

namespace {

bool queryAny(Database& db, std::string_view sql, const QString& cardNumber, const RowHandler& onRow)
{
    bool found = false;
    const SqlParam params[] = {cardNumber};
    db.query(sql, params, [&](const Row& row) {
        found = true;
        return onRow(row);
    });
    return found;
}

} // namespace

void selectAll(Database& db, const RowHandler& onRow)
{
    db.query(SelectAll, {}, onRow);
}

bool selectByCard(Database& db, const QString& cardNumber, const RowHandler& onRow)
{
    return queryAny(db, SelectByCard, cardNumber, onRow);
}

bool selectBalanceAndPoints(Database& db, const QString& cardNumber, const RowHandler& onRow)
{
    return queryAny(db, "SELECT 余额,积分 FROM kelm WHERE 卡号=?", cardNumber, onRow);
}

void insert(Database& db, const Record& m)
{
    const SqlParam params[] = {m.date, m.cardNumber, m.name, m.address, m.phone, m.password, m.idNumber};
    db.execute("insert into [kelm] (日期,卡号,姓名,联系地址,联系电话,密码,身份证号) values (?,?,?,?,?,?,?)", params);
}

qint64 update(Database& db, const Record& m)
{
    const SqlParam params[] = {m.name, m.address, m.phone, m.password, m.idNumber, m.cardNumber};
    return db.execute("update [kelm] set 姓名=?,联系地址=?,联系电话=?,密码=?,身份证号=? where 卡号=?", params);
}

qint64 remove(Database& db, const QString& cardNumber)
{
    const SqlParam params[] = {cardNumber};
    return db.execute("delete from kelm where 卡号=?", params);
}

qint64 updateBalance(Database& db, const QString& cardNumber, const QString& balanceText)
{
    const SqlParam params[] = {balanceText, cardNumber};
    return db.execute("update [kelm] set 余额=? where 卡号=?", params);
}

qint64 updateBalanceIfUnchanged(Database& db, const QString& cardNumber, const QString& balanceText,
                                const QString& loadedBalanceText)
{
    // The comparison runs in the database against the numeric column, in one statement, so no other
    // till can write between the check and the update.
    if (loadedBalanceText.trimmed().isEmpty()) {
        const SqlParam params[] = {balanceText, cardNumber};
        return db.execute("update [kelm] set 余额=? where 卡号=? and 余额 is null", params);
    }
    const SqlParam params[] = {balanceText, cardNumber, loadedBalanceText.trimmed()};
    return db.execute("update [kelm] set 余额=? where 卡号=? and 余额=?", params);
}

qint64 updatePoints(Database& db, const QString& cardNumber, const QString& pointsText)
{
    const SqlParam params[] = {pointsText, cardNumber};
    return db.execute("update kelm set 积分=? where 卡号=?", params);
}

} // namespace kelm::MemberTable
