#pragma once

#include <QTableView>

#include <initializer_list>

namespace kelm {

class CompactTableModel;

// A list in report form: whole rows selected one at a time, headers on top, no row headers, no
// editing in place. Every row has the same height, so a list of a million members scrolls as
// quickly as one of ten.
class ReportListView : public QTableView
{
    Q_OBJECT

public:
    explicit ReportListView(QWidget* parent = nullptr);

    // Column widths as divisors of the list's own width (20 gives a twentieth).
    void setColumnDivisors(std::initializer_list<double> divisors);
    CompactTableModel* listModel() const;
};

} // namespace kelm
