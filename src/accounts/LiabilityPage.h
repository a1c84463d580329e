#pragma once

#include "accounts/AccountsPage.h"

namespace kelm {

// 储值负债: what the shop owes its members: how many there are, the sum of their balances and
// points, and the lost cards with the balances still held under their numbers. Read afresh each
// time the page is opened, and on 刷新.
class LiabilityPage : public AccountsPage
{
    Q_OBJECT

public:
    LiabilityPage(Module1& module, Runner runner, QWidget* parent = nullptr);

    QList<QStringList> exportRows() const override;
    QString exportName() const override { return QStringLiteral("储值负债"); }
    void opened() override;

private:
    void refresh();

    QLineEdit* m_boxes[6];
    QLabel* m_asOf; // LiabilityTime
    bool m_shown = false;
};

} // namespace kelm
