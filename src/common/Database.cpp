#include "common/Database.h"

#include "common/NumberText.h"
#include "common/ServerAddress.h"

#include <algorithm>

namespace kelm {

QString Cell::toText() const
{
    switch (type) {
    case Type::Text:
        return QString::fromUtf8(text, size);
    case Type::Integer:
        return QString::number(integer);
    case Type::Real:
        return NumberText::format(real);
    case Type::Null:
        break;
    }
    throw DatabaseError("无效使用 Null：数据库中的值为空，无法转换为文本。");
}

double Cell::toNumber() const
{
    switch (type) {
    case Type::Integer:
        return static_cast<double>(integer);
    case Type::Real:
        return real;
    case Type::Text:
        if (const auto value = NumberText::parse(QString::fromUtf8(text, size)))
            return *value;
        break;
    case Type::Null:
        break;
    }
    throw DatabaseError("类型不匹配：数据库中的值不是数字。");
}

SqlParam Cell::toParam() const
{
    switch (type) {
    case Type::Integer:
        return integer;
    case Type::Real:
        if (text)
            return QString::fromUtf8(text, size);
        return real;
    case Type::Text:
        return QString::fromUtf8(text, size);
    case Type::Null:
        break;
    }
    return std::monostate();
}

NoAnswerError::NoAnswerError(const QString& server, int seconds, std::string_view sql)
    : DatabaseError("数据库服务器 " + server.toStdString() + " 在 " + std::to_string(seconds) + " 秒内没有回应（执行“"
                    + std::string(sql) + "”），本次操作没有完成。")
{
}

void Database::begin()
{
    if (m_inTransaction)
        throw DatabaseError("程序错误：事务已经开始。");
    beginTransaction();
    m_inTransaction = true;
}

void Database::commit()
{
    if (!m_inTransaction)
        throw DatabaseError("数据库连接在操作中途断开，操作没有完成。");
    commitTransaction();
    m_inTransaction = false;
}

void Database::rollback() noexcept
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    try {
        rollbackTransaction();
    } catch (...) {
        // The server rolls back what a broken session left open.
    }
}

bool ConnectionSettings::travelsInClear() const
{
    return engine != Engine::Sqlite
        && (encryption == Encryption::DriverDefault || encryption == Encryption::Disable)
        && !ServerAddress::parse(server).onThisMachine();
}

bool hasTable(Database& db, std::string_view table)
{
    const auto probe = [&](std::string_view name) {
        db.query("SELECT count(*) FROM " + std::string(name) + " WHERE 1=0", {}, [](const Row&) { return false; });
    };
    try {
        probe(table);
        return true;
    } catch (const DatabaseError&) {
        // The member table is always there: if it cannot be read either, the line is the trouble.
        probe("kelm");
        return false;
    }
}

qint64 countOf(Database& db, std::string_view countQuery)
{
    qint64 rows = 0;
    db.query(countQuery, {}, [&](const Row& row) {
        const Cell cell = row.cell(0);
        rows = cell.type == Cell::Type::Integer ? cell.integer : static_cast<qint64>(cell.toNumber());
        return false;
    });
    return rows;
}

void insertRows(Database& db, std::string_view insertInto, std::size_t columns, std::span<const SqlParam> cells)
{
    if (columns == 0 || cells.size() % columns != 0)
        throw DatabaseError("程序错误：行的值个数与列数不符。");
    const std::size_t perStatement = std::max<std::size_t>(1, std::min<std::size_t>(100, 999 / columns));
    std::string group = "(";
    for (std::size_t c = 0; c < columns; ++c)
        group += c == 0 ? "?" : ",?";
    group += ')';
    std::string sql;
    std::size_t rowsInSql = 0;
    for (std::size_t first = 0; first < cells.size(); first += perStatement * columns) {
        const std::size_t rows = std::min(perStatement, (cells.size() - first) / columns);
        // Every full batch runs the same text: it is built once.
        if (rows != rowsInSql) {
            sql.assign(insertInto);
            for (std::size_t r = 0; r < rows; ++r) {
                if (r > 0)
                    sql += ',';
                sql += group;
            }
            rowsInSql = rows;
        }
        db.execute(sql, cells.subspan(first, rows * columns));
    }
}

Transaction::Transaction(Database& db)
    : m_db(db)
{
    m_db.begin();
}

Transaction::~Transaction()
{
    if (!m_committed)
        m_db.rollback();
}

void Transaction::commit()
{
    m_db.commit();
    m_committed = true;
}

int Row::indexOf(std::string_view utf8Name) const
{
    const int count = columnCount();
    for (int i = 0; i < count; ++i) {
        if (columnName(i) == utf8Name)
            return i;
    }
    return -1;
}

Cell Row::cell(std::string_view utf8Name) const
{
    const int index = indexOf(utf8Name);
    if (index < 0)
        throw DatabaseError("查询结果中没有列“" + std::string(utf8Name) + "”。");
    return cell(index);
}

} // namespace kelm
