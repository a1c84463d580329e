#include "common/ReportListView.h"

#include "common/CompactTableModel.h"

#include <QHeaderView>

namespace kelm {

ReportListView::ReportListView(QWidget* parent)
    : QTableView(parent)
{
    setObjectName(QStringLiteral("ListView1"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setAlternatingRowColors(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
}

void ReportListView::setColumnDivisors(std::initializer_list<double> divisors)
{
    const auto width = static_cast<float>(this->width());
    int column = 0;
    for (double divisor : divisors)
        setColumnWidth(column++, static_cast<int>(width / static_cast<float>(divisor)));
}

CompactTableModel* ReportListView::listModel() const
{
    return qobject_cast<CompactTableModel*>(model());
}

} // namespace kelm
