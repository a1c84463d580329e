#include "common/MemberTable.h"

#include "common/Blanks.h"

namespace kelm {

DuplicateCardError::DuplicateCardError(const QString& cardNumber, qint64 members)
    : RefusalError(QStringLiteral("卡号为“%1”的会员有 %2 位，无法确定是哪一位，本次操作没有进行。请管理员处理重复的卡号。")
                        .arg(trimTrailingBlanks(cardNumber))
                        .arg(members)
                        .toStdString())
{
}

namespace MemberTable {

namespace {

// The card number as every statement compares it.
SqlParam cardKey(const QString& cardNumber)
{
    return trimTrailingBlanks(cardNumber);
}

QString textOf(const Row& row, std::string_view column)
{
    const Cell cell = row.cell(column);
    return cell.isNull() ? QString() : cell.toText();
}

Member memberOf(const Row& row)
{
    return Member{textOf(row, "日期"),     textOf(row, "卡号"),     textOf(row, "姓名"),
                  textOf(row, "联系地址"), textOf(row, "联系电话"), textOf(row, "密码"),
                  textOf(row, "身份证号"), StoredNumber::from(row.cell("余额")),
                  StoredNumber::from(row.cell("积分"))};
}

qint64 writeOne(Database& db, std::string_view sql, std::span<const SqlParam> params, const QString& cardNumber)
{
    const qint64 changed = db.execute(sql, params);
    if (changed > 1)
        throw DuplicateCardError(cardNumber, changed);
    return changed;
}

// The statement's condition on a number column that must still hold `was`.
std::string unchanged(std::string_view column, const StoredNumber& was)
{
    return std::string(column) + (was.isNull() ? " is null" : "=?");
}

} // namespace

void selectAll(Database& db, const RowHandler& onRow)
{
    db.query(SelectAll, {}, onRow);
}

std::unique_ptr<Cursor> openAll(Database& db)
{
    static const std::string sql = [] {
        std::string columns;
        for (std::string_view column : ListColumns)
            columns.append(columns.empty() ? "" : ",").append(column);
        return "SELECT " + columns + " FROM kelm";
    }();
    return db.openCursor(sql, {});
}

std::unique_ptr<Cursor> openRows(Database& db)
{
    return db.openCursor("SELECT 日期,卡号,姓名,联系地址,联系电话,密码,身份证号,余额,积分 FROM kelm", {});
}

void insertRows(Database& db, std::span<const SqlParam> cells)
{
    kelm::insertRows(db, "insert into [kelm] (日期,卡号,姓名,联系地址,联系电话,密码,身份证号,余额,积分) values ",
                     std::size(Columns), cells);
}

std::unique_ptr<Cursor> openBalancesAndPoints(Database& db)
{
    return db.openCursor("SELECT 余额,积分 FROM kelm", {});
}

std::unique_ptr<Cursor> openCardNumbers(Database& db)
{
    return db.openCursor("SELECT rtrim(卡号) FROM kelm WHERE rtrim(卡号)<>''", {});
}

qint64 count(Database& db)
{
    return countOf(db, "SELECT count(*) FROM kelm");
}

qint64 removeAll(Database& db)
{
    return db.execute("delete from kelm", {});
}

std::optional<Member> findByCard(Database& db, const QString& cardNumber)
{
    std::optional<Member> found;
    qint64 members = 0;
    const SqlParam params[] = {cardKey(cardNumber)};
    db.query("SELECT * FROM kelm WHERE rtrim(卡号)=?", params, [&](const Row& row) {
        if (++members == 1)
            found = memberOf(row);
        return true;
    });
    if (members > 1)
        throw DuplicateCardError(cardNumber, members);
    return found;
}

std::vector<Member> find(Database& db, const QString& text, int limit)
{
    std::vector<Member> found;
    const QString trimmed = text.trimmed();
    // Blank text would find every member without a card, name or phone.
    if (trimmed.isEmpty() || limit <= 0)
        return found;
    const SqlParam params[] = {trimmed, trimmed, trimmed, trimmed};
    db.query("SELECT * FROM kelm WHERE rtrim(卡号)=? OR rtrim(姓名)=? OR rtrim(联系电话)=? OR rtrim(身份证号)=? "
             "ORDER BY 卡号",
             params, [&](const Row& row) {
                 found.push_back(memberOf(row));
                 return static_cast<int>(found.size()) < limit;
             });
    return found;
}

void scanHoldings(Database& db, const std::function<void(const Cell& balance, const Cell& points)>& onMember)
{
    const std::unique_ptr<Cursor> cursor = db.openCursor("SELECT 余额,积分 FROM kelm", {});
    while (const Row* row = cursor->next())
        onMember(row->cell(0), row->cell(1));
}

bool cardNumberTaken(Database& db, const QString& cardNumber)
{
    bool taken = false;
    const SqlParam params[] = {cardKey(cardNumber)};
    db.query("SELECT 1 FROM kelm WHERE rtrim(卡号)=?", params, [&](const Row&) {
        taken = true;
        return false;
    });
    return taken;
}

std::vector<std::pair<QString, qint64>> duplicateCardNumbers(Database& db)
{
    std::vector<std::pair<QString, qint64>> duplicates;
    db.query("SELECT rtrim(卡号),count(*) FROM kelm WHERE rtrim(卡号)<>'' GROUP BY rtrim(卡号) HAVING count(*)>1 "
             "ORDER BY rtrim(卡号)",
             {}, [&](const Row& row) {
                 duplicates.emplace_back(row.cell(0).toText(), static_cast<qint64>(row.cell(1).toNumber()));
                 return true;
             });
    return duplicates;
}

void insert(Database& db, const Member& m)
{
    const SqlParam params[] = {m.date, m.cardNumber, m.name, m.address, m.phone, m.password, m.idNumber};
    db.execute("insert into [kelm] (日期,卡号,姓名,联系地址,联系电话,密码,身份证号) values (?,?,?,?,?,?,?)", params);
}

qint64 update(Database& db, const Member& m, bool withPassword)
{
    if (!withPassword) {
        const SqlParam params[] = {m.name, m.address, m.phone, m.idNumber, cardKey(m.cardNumber)};
        return writeOne(db, "update [kelm] set 姓名=?,联系地址=?,联系电话=?,身份证号=? where rtrim(卡号)=?", params,
                        m.cardNumber);
    }
    const SqlParam params[] = {m.name, m.address, m.phone, m.password, m.idNumber, cardKey(m.cardNumber)};
    return writeOne(db, "update [kelm] set 姓名=?,联系地址=?,联系电话=?,密码=?,身份证号=? where rtrim(卡号)=?", params,
                    m.cardNumber);
}

qint64 remove(Database& db, const QString& cardNumber)
{
    const SqlParam params[] = {cardKey(cardNumber)};
    return writeOne(db, "delete from kelm where rtrim(卡号)=?", params, cardNumber);
}

qint64 updateBalanceIfUnchanged(Database& db, const QString& cardNumber, const QString& balanceText,
                                const StoredNumber& was)
{
    // The comparison runs in the database against the stored value itself, in one statement, so no
    // other till can write between the check and the update.
    const std::string sql = "update [kelm] set 余额=? where rtrim(卡号)=? and " + unchanged("余额", was);
    std::vector<SqlParam> params = {balanceText, cardKey(cardNumber)};
    if (!was.isNull())
        params.push_back(was.stored());
    return writeOne(db, sql, params, cardNumber);
}

qint64 updatePointsIfUnchanged(Database& db, const QString& cardNumber, const QString& pointsText,
                               const StoredNumber& was)
{
    const std::string sql = "update kelm set 积分=? where rtrim(卡号)=? and " + unchanged("积分", was);
    std::vector<SqlParam> params = {pointsText, cardKey(cardNumber)};
    if (!was.isNull())
        params.push_back(was.stored());
    return writeOne(db, sql, params, cardNumber);
}

qint64 setBalanceAndPoints(Database& db, const QString& cardNumber, const QString& balanceText,
                           const QString& pointsText)
{
    const SqlParam params[] = {balanceText, pointsText, cardKey(cardNumber)};
    return db.execute("update [kelm] set 余额=?,积分=? where rtrim(卡号)=?", params);
}

} // namespace MemberTable
} // namespace kelm
