#include "common/CompactTableModel.h"

#include "common/NumberText.h"

#include <QTimer>

#include <algorithm>
#include <string_view>
#include <cstring>
#include <limits>
#include <utility>

namespace kelm {

namespace {

// A stored cell is a kind byte and the value. Short text carries its length in the kind byte,
// which keeps the bookkeeping of a member row at eight bytes.
constexpr unsigned char NullCell = 0;
constexpr unsigned char NumberCell = 1; // then the double's 8 bytes
constexpr unsigned char LongTextCell = 2; // then a 32-bit length and the bytes
constexpr unsigned char ShortTextCell = 3; // plus the length (0 to 252), then the bytes
constexpr std::size_t ShortTextMost = 255 - ShortTextCell;

std::size_t encodedSize(const Cell& cell)
{
    switch (cell.type) {
    case Cell::Type::Null:
        return 1;
    case Cell::Type::Integer:
    case Cell::Type::Real:
        return 1 + sizeof(double);
    case Cell::Type::Text:
        break;
    }
    const auto size = static_cast<std::size_t>(cell.size);
    return size <= ShortTextMost ? 1 + size : 1 + sizeof(std::uint32_t) + size;
}

char* encode(char* out, const Cell& cell)
{
    switch (cell.type) {
    case Cell::Type::Null:
        *out++ = static_cast<char>(NullCell);
        return out;
    case Cell::Type::Integer:
    case Cell::Type::Real: {
        const double value = cell.type == Cell::Type::Integer ? static_cast<double>(cell.integer) : cell.real;
        *out++ = static_cast<char>(NumberCell);
        std::memcpy(out, &value, sizeof value);
        return out + sizeof value;
    }
    case Cell::Type::Text:
        break;
    }
    const auto size = static_cast<std::uint32_t>(cell.size);
    if (size <= ShortTextMost) {
        *out++ = static_cast<char>(ShortTextCell + size);
    } else {
        *out++ = static_cast<char>(LongTextCell);
        std::memcpy(out, &size, sizeof size);
        out += sizeof size;
    }
    if (size > 0)
        std::memcpy(out, cell.text, size);
    return out + size;
}

unsigned char kindOf(const char* cell)
{
    return static_cast<unsigned char>(*cell);
}

// The text bytes of a text cell.
std::pair<const char*, std::uint32_t> textOf(const char* cell)
{
    const unsigned char kind = kindOf(cell);
    if (kind >= ShortTextCell)
        return {cell + 1, kind - ShortTextCell};
    std::uint32_t size;
    std::memcpy(&size, cell + 1, sizeof size);
    return {cell + 1 + sizeof size, size};
}

double numberOf(const char* cell)
{
    double value;
    std::memcpy(&value, cell + 1, sizeof value);
    return value;
}

const char* nextCell(const char* cell)
{
    switch (kindOf(cell)) {
    case NullCell:
        return cell + 1;
    case NumberCell:
        return cell + 1 + sizeof(double);
    default: {
        const auto [text, size] = textOf(cell);
        return text + size;
    }
    }
}

} // namespace

CompactTableModel::CompactTableModel(QStringList headers, std::vector<std::string> sourceColumns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_headers(std::move(headers))
    , m_sourceColumns(std::move(sourceColumns))
{
}

CompactTableModel::~CompactTableModel() = default;

void CompactTableModel::startFill()
{
    m_arena.reset();
    m_indexes.clear();
    m_shown = 0;
    m_rowStarts.clear();
    m_visible.clear();
    m_taken = false;
}

void CompactTableModel::clear()
{
    stopFill();
    beginResetModel();
    startFill();
    endResetModel();
}

void CompactTableModel::fill(const std::function<void(const RowHandler&)>& runQuery)
{
    stopFill();
    beginResetModel();
    startFill();
    try {
        runQuery([&](const Row& row) {
            appendRow(row, m_indexes);
            return true;
        });
    } catch (...) {
        m_shown = static_cast<int>(m_rowStarts.size());
        endResetModel();
        throw;
    }
    m_shown = static_cast<int>(m_rowStarts.size());
    endResetModel();
}

namespace {

// A slice short enough that typing and clicking go on while a long list fills. The first one is
// a single batch of rows, more than a screenful, so the screen paints at once.
constexpr std::chrono::milliseconds FirstSlice{0};
constexpr std::chrono::milliseconds Slice{10};
constexpr std::chrono::milliseconds AnnounceEvery{200};
// The clock is asked once a batch of rows: a row costs far less than asking it.
constexpr int Batch = 256;

} // namespace

void CompactTableModel::fillFrom(std::unique_ptr<Cursor> cursor)
{
    stopFill();
    beginResetModel();
    startFill();
    m_cursor = std::move(cursor);
    try {
        readSlice(FirstSlice);
    } catch (...) {
        m_cursor.reset();
        m_shown = static_cast<int>(m_rowStarts.size());
        endResetModel();
        throw;
    }
    m_shown = static_cast<int>(m_rowStarts.size());
    m_announced = std::chrono::steady_clock::now();
    endResetModel();
    scheduleSlice();
}

void CompactTableModel::readSlice(std::optional<std::chrono::milliseconds> budget)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + budget.value_or(std::chrono::milliseconds(0));
    for (int read = 1; m_cursor; ++read) {
        const Row* row = m_cursor->next();
        if (!row) {
            m_cursor.reset();
            break;
        }
        appendRow(*row, m_indexes);
        if (budget && read % Batch == 0 && Clock::now() >= until)
            break;
    }
}

void CompactTableModel::scheduleSlice()
{
    if (!m_cursor || m_sliceScheduled)
        return;
    m_sliceScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_sliceScheduled = false;
        if (!m_cursor)
            return;
        try {
            readSlice(Slice);
        } catch (const std::exception&) {
            // A list that cannot be read further keeps what it has; the next load or save reads it anew.
            m_cursor.reset();
        }
        // The view hears of new rows now and then: each telling costs it as much as a slice.
        if (!m_cursor || std::chrono::steady_clock::now() - m_announced >= AnnounceEvery)
            announceRows();
        scheduleSlice();
    });
}

void CompactTableModel::finishFill()
{
    if (!m_cursor)
        return;
    try {
        readSlice(std::nullopt);
    } catch (const std::exception&) {
        m_cursor.reset();
    }
    announceRows();
}

void CompactTableModel::announceRows()
{
    m_announced = std::chrono::steady_clock::now();
    const int stored = static_cast<int>(m_rowStarts.size());
    if (stored > m_shown && !m_taken) {
        beginInsertRows({}, m_shown, stored - 1);
        m_shown = stored;
        endInsertRows();
    }
}

void CompactTableModel::stopFill()
{
    m_cursor.reset();
    announceRows();
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
        m_rowCells.resize(indexes.size());
    }
    // The whole row is read before any of it is stored, so a row either is in the list or is not.
    std::size_t size = 0;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        m_rowCells[i] = row.cell(indexes[i]);
        size += encodedSize(m_rowCells[i]);
    }
    if (m_rowStarts.size() >= std::numeric_limits<std::uint32_t>::max())
        throw Error("列表过大，无法显示。");
    std::uint32_t position;
    char* out = m_arena.append(size, position);
    for (const Cell& cell : m_rowCells)
        out = encode(out, cell);
    m_rowStarts.push_back(position);
}

const char* CompactTableModel::cellAt(std::uint32_t storageRow, int dataColumn) const
{
    const char* cell = m_arena.at(m_rowStarts[storageRow]);
    for (int i = 0; i < dataColumn; ++i)
        cell = nextCell(cell);
    return cell;
}

int CompactTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_taken ? m_visible.size() : static_cast<std::size_t>(m_shown));
}

int CompactTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QString CompactTableModel::text(int row, int column) const
{
    const std::uint32_t stored = storageRow(row);
    if (column == 0)
        return QString::number(stored + 1);
    const char* cell = cellAt(stored, column - 1);
    switch (kindOf(cell)) {
    case NullCell:
        return {};
    case NumberCell:
        return NumberText::format(numberOf(cell));
    default: {
        const auto [text, size] = textOf(cell);
        return QString::fromUtf8(text, static_cast<qsizetype>(size));
    }
    }
}

std::optional<double> CompactTableModel::number(int row, int column) const
{
    if (column == 0)
        return runningNumber(row);
    const char* cell = cellAt(storageRow(row), column - 1);
    switch (kindOf(cell)) {
    case NullCell:
        return std::nullopt;
    case NumberCell:
        return numberOf(cell);
    default: {
        const auto [text, size] = textOf(cell);
        return NumberText::parse(QString::fromUtf8(text, static_cast<qsizetype>(size)));
    }
    }
}

int CompactTableModel::runningNumber(int row) const
{
    return static_cast<int>(storageRow(row)) + 1;
}

int CompactTableModel::rowOfRunningNumber(int runningNumber) const
{
    if (runningNumber < 1 || runningNumber > m_shown)
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
        const auto rows = static_cast<std::uint32_t>(m_shown);
        m_visible.resize(rows);
        for (std::uint32_t i = 0; i < rows; ++i)
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
    if (row < 0 || row >= rowCount() || column < 1 || column >= columnCount())
        return;
    // Rare (a stock cell after a redemption): the row is stored again after the others with the
    // new cell, and its position moves there; the old copy stays unused until the next fill.
    const std::uint32_t stored = storageRow(row);
    const QByteArray utf8 = text.toUtf8();
    Cell changed;
    changed.type = Cell::Type::Text;
    changed.text = utf8.constData();
    changed.size = static_cast<int>(utf8.size());
    const char* before = cellAt(stored, 0);
    const char* cell = cellAt(stored, column - 1);
    const char* after = nextCell(cell);
    const char* end = cellAt(stored, static_cast<int>(m_sourceColumns.size()) - 1);
    end = nextCell(end);
    const auto head = static_cast<std::size_t>(cell - before);
    const auto tail = static_cast<std::size_t>(end - after);
    std::uint32_t position;
    char* out = m_arena.append(head + encodedSize(changed) + tail, position);
    // The old row stays where it is: allocating never moves a block.
    std::memcpy(out, before, head);
    out = encode(out + head, changed);
    std::memcpy(out, after, tail);
    m_rowStarts[stored] = position;
    const QModelIndex index = this->index(row, column);
    emit dataChanged(index, index);
}

int CompactTableModel::find(const QString& needle, const std::vector<int>& columns, int from) const
{
    const int rows = rowCount();
    if (rows == 0 || needle.isEmpty())
        return -1;
    // The cells are compared as the UTF-8 bytes they are kept in, so no text is made for a row
    // that does not match: a keystroke looks through a million members in a few milliseconds.
    const QByteArray utf8 = needle.toUtf8();
    const std::string_view wanted(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    const int start = std::clamp(from, 0, rows - 1);
    for (int step = 0; step < rows; ++step) {
        const int row = (start + step) % rows;
        const char* cell = cellAt(storageRow(row), 0);
        for (int column = 1; column < columnCount(); ++column, cell = nextCell(cell)) {
            if (kindOf(cell) < ShortTextCell && kindOf(cell) != LongTextCell)
                continue;
            if (std::find(columns.begin(), columns.end(), column) == columns.end())
                continue;
            const auto [text, size] = textOf(cell);
            if (std::string_view(text, size).find(wanted) != std::string_view::npos)
                return row;
        }
    }
    return -1;
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
    return (m_rowStarts.capacity() + m_visible.capacity()) * sizeof(std::uint32_t) + m_arena.bytesReserved();
}

} // namespace kelm
