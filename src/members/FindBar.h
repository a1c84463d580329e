#pragma once

#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QModelIndex;

namespace kelm {

class CompactTableModel;
class ReportListView;

// The find line above a list: hidden until the cashier presses Ctrl+F or types a character on the
// list. As the text grows it goes to the first row whose text in one of the columns holds it; Enter
// or F3 goes to the next, Esc puts the line away. A row found is selected as a click selects it.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    FindBar(ReportListView* list, std::vector<int> columns, QWidget* parent);

    // Shows the line with the text typed so far.
    void open(const QString& typed = {});
    void close();

signals:
    void found(const QModelIndex& index);
    void shownChanged(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search(int from);
    CompactTableModel* model() const;

    ReportListView* m_list;
    std::vector<int> m_columns;
    QLineEdit* m_text;
    QLabel* m_status;
};

} // namespace kelm
