#pragma once

#include "common/Database.h"
#include "common/RowArena.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <chrono>
#include <memory>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelm {

// The rows of a list screen, read whole from the database at every load and every save and kept
// compactly: each row's cells side by side in large byte blocks (text as its UTF-8 bytes, numbers
// as numbers, each behind a one-byte kind and length), a QString made only when a cell is painted.
// The blocks keep their space between reloads. Column 0 is the running number 1, 2, 3… given to
// the rows in the order the database returned them; it stays with its row when rows are taken out
// of the list before a save.
class CompactTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // headers: every column's header, the running number's first; sourceColumns: the database
    // columns (UTF-8 names) shown in columns 1, 2, …
    CompactTableModel(QStringList headers, std::vector<std::string> sourceColumns, QObject* parent = nullptr);
    ~CompactTableModel() override;
    CompactTableModel(const CompactTableModel&) = delete;
    CompactTableModel& operator=(const CompactTableModel&) = delete;

    // Replaces the rows with those the query hands over. A query that fails part way leaves the
    // rows read so far and passes the failure on.
    void fill(const std::function<void(const RowHandler&)>& runQuery);
    // Replaces the rows with the cursor's: those read within a first moment now (a failure there
    // is passed on), the rest a slice at a time from the event loop, so that a list of any length
    // shows and answers at once. A later failure ends the list where it happened.
    void fillFrom(std::unique_ptr<Cursor> cursor);
    bool isFilling() const { return m_cursor != nullptr; }
    // Reads the rest of the rows now; a failure ends the list where it happened.
    void finishFill();
    // Ends the query; the rows read so far stay.
    void stopFill();
    void clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text a cell shows; NULL shows as the empty text.
    QString text(int row, int column) const;
    // The cell as a number (text read as a number); no value for NULL or text that is no number.
    std::optional<double> number(int row, int column) const;
    int runningNumber(int row) const;
    // The list row that carries a running number, -1 when none does.
    int rowOfRunningNumber(int runningNumber) const;
    // Takes a row out of the list (the database keeps it).
    void takeRow(int row);
    // Brings back every row taken out since the last fill.
    void restoreRows();
    // Changes one cell's shown text in place.
    void setText(int row, int column, const QString& text);

    // The first row at or after from (wrapping round to the top) whose text in one of the columns
    // holds needle; -1 when none does.
    int find(const QString& needle, const std::vector<int>& columns, int from) const;

    std::size_t bytesUsed() const;

private:
    std::uint32_t storageRow(int row) const { return m_visible.empty() && !m_taken ? row : m_visible[row]; }
    // The first byte of a stored cell (dataColumn counts from 0 for column 1).
    const char* cellAt(std::uint32_t storageRow, int dataColumn) const;
    void appendRow(const Row& row, std::vector<int>& indexes);
    void startFill();
    // Reads rows from the cursor for about the budget (all of them without one).
    void readSlice(std::optional<std::chrono::milliseconds> budget);
    void scheduleSlice();
    // Tells the view of the rows read since it last heard.
    void announceRows();

    QStringList m_headers;
    std::vector<std::string> m_sourceColumns;
    RowArena m_arena;
    // Where each stored row starts: block number in the high bits, offset in the block in the low.
    std::vector<std::uint32_t> m_rowStarts;
    std::vector<Cell> m_rowCells; // one row's cells while it is stored
    std::vector<int> m_indexes;   // the source columns' places in the rows of the current fill
    std::unique_ptr<Cursor> m_cursor;
    // Rows stored but not yet announced to the view.
    int m_shown = 0;
    bool m_sliceScheduled = false;
    std::chrono::steady_clock::time_point m_announced;
    // Rows still listed, by storage row, once a row has been taken out.
    std::vector<std::uint32_t> m_visible;
    bool m_taken = false;
};

} // namespace kelm
