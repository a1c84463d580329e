#pragma once

#include "common/ReportListView.h"

#include <QStringList>

#include <vector>

namespace kelm {

// A list of the accounts screen: rows of text under headers, figures right-aligned, totals in bold
// and rows the owner must look at (a date that cannot be read) in red. It keeps the rows as shown,
// so a page exports exactly what the owner sees.
class AccountsList : public ReportListView
{
    Q_OBJECT

public:
    enum class Mark { None, Total, Unreadable };
    struct Row
    {
        QStringList cells;
        Mark mark = Mark::None;
    };

    // weights: each column's share of the list's width; figureColumns: the columns holding amounts.
    AccountsList(const QString& objectName, const QStringList& headers, std::vector<int> weights,
                 std::vector<int> figureColumns, QWidget* parent = nullptr);

    void setRows(std::vector<Row> rows);
    void clear() { setRows({}); }
    int rowCount() const;
    // The headers, then every row as shown.
    QList<QStringList> table() const;

protected:
    bool viewportEvent(QEvent* event) override;

private:
    void spreadColumns();

    std::vector<int> m_weights;
};

} // namespace kelm
