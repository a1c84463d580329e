#include "accounts/AccountsList.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QEvent>
#include <QFont>
#include <QHeaderView>

#include <algorithm>
#include <numeric>

namespace kelm {

namespace {

// The rows a page worked out, held whole: a report is read once and never edited in place, so a
// reset per fill is all the view needs to hear.
class RowsModel : public QAbstractTableModel
{
public:
    RowsModel(QStringList headers, std::vector<int> figureColumns, QObject* parent)
        : QAbstractTableModel(parent)
        , m_headers(std::move(headers))
        , m_figureColumns(std::move(figureColumns))
    {
    }

    void setRows(std::vector<AccountsList::Row> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    const std::vector<AccountsList::Row>& rows() const { return m_rows; }
    const QStringList& headers() const { return m_headers; }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        const AccountsList::Row& row = m_rows[static_cast<std::size_t>(index.row())];
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return row.cells.value(index.column());
        case Qt::TextAlignmentRole: {
            const bool figure = std::find(m_figureColumns.begin(), m_figureColumns.end(), index.column())
                != m_figureColumns.end();
            return QVariant::fromValue(Qt::AlignVCenter | (figure ? Qt::AlignRight : Qt::AlignLeft));
        }
        case Qt::FontRole:
            if (row.mark == AccountsList::Mark::Total) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ForegroundRole:
            if (row.mark == AccountsList::Mark::Unreadable)
                return QBrush(Qt::darkRed);
            return {};
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_headers.size())
            return m_headers[section];
        return {};
    }

private:
    QStringList m_headers;
    std::vector<int> m_figureColumns;
    std::vector<AccountsList::Row> m_rows;
};

} // namespace

AccountsList::AccountsList(const QString& objectName, const QStringList& headers, std::vector<int> weights,
                           std::vector<int> figureColumns, QWidget* parent)
    : ReportListView(parent)
    , m_weights(std::move(weights))
{
    setObjectName(objectName);
    setModel(new RowsModel(headers, std::move(figureColumns), this));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
}

void AccountsList::setRows(std::vector<Row> rows)
{
    static_cast<RowsModel*>(model())->setRows(std::move(rows));
}

int AccountsList::rowCount() const
{
    return model()->rowCount();
}

QList<QStringList> AccountsList::table() const
{
    const auto* rows = static_cast<const RowsModel*>(model());
    QList<QStringList> table{rows->headers()};
    for (const Row& row : rows->rows())
        table.append(row.cells);
    return table;
}

bool AccountsList::viewportEvent(QEvent* event)
{
    // The viewport narrows when the vertical scroll bar comes, which the list's own size does not tell.
    if (event->type() == QEvent::Resize)
        spreadColumns();
    return ReportListView::viewportEvent(event);
}

void AccountsList::spreadColumns()
{
    // The columns share the width the list has, so none is cut off when the screen lays it out and
    // no empty strip is left at the right.
    const int total = std::accumulate(m_weights.begin(), m_weights.end(), 0);
    if (total <= 0)
        return;
    const int width = viewport()->width();
    int used = 0;
    for (std::size_t column = 0; column < m_weights.size(); ++column) {
        const int share = column + 1 == m_weights.size() ? width - used : width * m_weights[column] / total;
        setColumnWidth(static_cast<int>(column), share);
        used += share;
    }
}

} // namespace kelm
