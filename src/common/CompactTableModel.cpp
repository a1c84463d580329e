#include "common/CompactTableModel.h"

#include "common/NumberText.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kelm {

CompactTableModel::CompactTableModel(QStringList headers, std::vector<std::string> sourceColumns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_headers(std::move(headers))
    , m_sourceColumns(std::move(sourceColumns))
{
}

void CompactTableModel::clear()
{
    beginResetModel();
    m_bytes.clear();
    m_ends.clear();
    m_rows = 0;
    m_visible.clear();
    m_taken = false;
    endResetModel();
}

void CompactTableModel::fill(const std::function<void(const RowHandler&)>& runQuery)
{
    beginResetModel();
    m_bytes.clear();
    m_ends.clear();
    m_rows = 0;
    m_visible.clear();
    m_taken = false;
    std::vector<int> indexes;
    try {
        runQuery([&](const Row& row) {
            appendRow(row, indexes);
            return true;
        });
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

void CompactTableModel::appendRow(const Row& row, std::vector<int>& indexes)
{
    if (indexes.empty()) {
        for (const std::string& name : m_sourceColumns) {
            const int index = row.indexOf(name);
            if (index < 0)
                throw DatabaseError("查询结果中没有列“" + name + "”。");
            indexes.push_back(index);
        }
    }
    for (int index : indexes)
        appendCell(row.cell(index));
    if (m_bytes.size() > std::numeric_limits<std::uint32_t>::max())
        throw Error("列表过大，无法显示。");
    ++m_rows;
}

void CompactTableModel::appendCell(const Cell& cell)
{
    switch (cell.type) {
    case Cell::Type::Null:
        m_bytes.push_back(NullCell);
        break;
    case Cell::Type::Text:
        m_bytes.push_back(TextCell);
        m_bytes.insert(m_bytes.end(), cell.text, cell.text + cell.size);
        break;
    case Cell::Type::Integer:
    case Cell::Type::Real: {
        const double value = cell.type == Cell::Type::Integer ? static_cast<double>(cell.integer) : cell.real;
        char raw[sizeof value];
        std::memcpy(raw, &value, sizeof value);
        m_bytes.push_back(NumberCell);
        m_bytes.insert(m_bytes.end(), raw, raw + sizeof raw);
        break;
    }
    }
    m_ends.push_back(static_cast<std::uint32_t>(m_bytes.size()));
}

int CompactTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_taken ? m_visible.size() : m_rows);
}

int CompactTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

std::pair<const char*, const char*> CompactTableModel::cellBytes(std::uint32_t storageRow, int dataColumn) const
{
    const std::size_t k = static_cast<std::size_t>(storageRow) * m_sourceColumns.size() + dataColumn;
    const std::uint32_t begin = k == 0 ? 0 : m_ends[k - 1];
    return {m_bytes.data() + begin, m_bytes.data() + m_ends[k]};
}

QString CompactTableModel::text(int row, int column) const
{
    const std::uint32_t stored = storageRow(row);
    if (column == 0)
        return QString::number(stored + 1);
    const auto [begin, end] = cellBytes(stored, column - 1);
    switch (*begin) {
    case TextCell:
        return QString::fromUtf8(begin + 1, end - begin - 1);
    case NumberCell: {
        double value;
        std::memcpy(&value, begin + 1, sizeof value);
        return NumberText::format(value);
    }
    default:
        return {};
    }
}

std::optional<double> CompactTableModel::number(int row, int column) const
{
    if (column == 0)
        return runningNumber(row);
    const auto [begin, end] = cellBytes(storageRow(row), column - 1);
    if (*begin == NumberCell) {
        double value;
        std::memcpy(&value, begin + 1, sizeof value);
        return value;
    }
    if (*begin == TextCell)
        return NumberText::parse(QString::fromUtf8(begin + 1, end - begin - 1));
    return std::nullopt;
}

int CompactTableModel::runningNumber(int row) const
{
    return static_cast<int>(storageRow(row)) + 1;
}

int CompactTableModel::rowOfRunningNumber(int runningNumber) const
{
    if (runningNumber < 1 || static_cast<std::uint32_t>(runningNumber) > m_rows)
        return -1;
    const auto stored = static_cast<std::uint32_t>(runningNumber - 1);
    if (!m_taken)
        return static_cast<int>(stored);
    // The listed rows keep their storage order, so the running numbers stay sorted.
    const auto it = std::lower_bound(m_visible.begin(), m_visible.end(), stored);
    return (it != m_visible.end() && *it == stored) ? static_cast<int>(it - m_visible.begin()) : -1;
}

void CompactTableModel::takeRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    if (!m_taken) {
        m_visible.resize(m_rows);
        for (std::uint32_t i = 0; i < m_rows; ++i)
            m_visible[i] = i;
        m_taken = true;
    }
    m_visible.erase(m_visible.begin() + row);
    endRemoveRows();
}

void CompactTableModel::restoreRows()
{
    if (!m_taken)
        return;
    beginResetModel();
    m_visible.clear();
    m_taken = false;
    endResetModel();
}

void CompactTableModel::setText(int row, int column, const QString& text)
{
    if (row < 0 || row >= rowCount() || column < 1)
        return;
    // Rare (a stock cell after a redemption): the cell is rewritten in place and the cells after
    // it move by the difference.
    const std::uint32_t stored = storageRow(row);
    const std::size_t k = static_cast<std::size_t>(stored) * m_sourceColumns.size() + column - 1;
    const QByteArray utf8 = text.toUtf8();
    const std::uint32_t begin = k == 0 ? 0 : m_ends[k - 1];
    const std::uint32_t oldLength = m_ends[k] - begin;
    std::vector<char> cell;
    cell.push_back(TextCell);
    cell.insert(cell.end(), utf8.begin(), utf8.end());
    const auto delta = static_cast<std::int64_t>(cell.size()) - oldLength;
    m_bytes.erase(m_bytes.begin() + begin, m_bytes.begin() + m_ends[k]);
    m_bytes.insert(m_bytes.begin() + begin, cell.begin(), cell.end());
    for (std::size_t i = k; i < m_ends.size(); ++i)
        m_ends[i] = static_cast<std::uint32_t>(m_ends[i] + delta);
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed);
}

QVariant CompactTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return index.column() == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignCenter);
    return {};
}

QVariant CompactTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headers.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_headers[section];
    if (role == Qt::TextAlignmentRole)
        return section == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignCenter);
    return {};
}

std::size_t CompactTableModel::bytesUsed() const
{
    return m_bytes.capacity() + m_ends.capacity() * sizeof(std::uint32_t)
        + m_visible.capacity() * sizeof(std::uint32_t);
}

} // namespace kelm
