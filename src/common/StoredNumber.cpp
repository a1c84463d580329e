#include "common/StoredNumber.h"

#include "common/NumberText.h"

namespace kelm {

StoredNumber StoredNumber::from(const Cell& cell)
{
    StoredNumber number;
    number.m_stored = cell.toParam();
    switch (cell.type) {
    case Cell::Type::Null:
        break;
    case Cell::Type::Integer:
        number.m_value = static_cast<double>(cell.integer);
        break;
    case Cell::Type::Real:
        number.m_value = cell.real;
        break;
    case Cell::Type::Text:
        number.m_value = NumberText::parse(cell.toText());
        break;
    }
    if (!cell.isNull())
        number.m_text = cell.toText();
    return number;
}

StoredNumber StoredNumber::written(const QString& text)
{
    StoredNumber number;
    number.m_stored = text;
    number.m_text = text;
    number.m_value = NumberText::parse(text);
    return number;
}

} // namespace kelm
