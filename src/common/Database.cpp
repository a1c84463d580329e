#include "common/Database.h"

#include "common/NumberText.h"

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
