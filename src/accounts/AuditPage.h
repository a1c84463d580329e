#pragma once

#include "accounts/AccountsPage.h"

class QCheckBox;

namespace kelm {

class AccountsList;

// 操作记录: the audit of every change of money, points, members and gifts, newest first, for one
// card, one operator or some days when the owner names them.
class AuditPage : public AccountsPage
{
    Q_OBJECT

public:
    AuditPage(Module1& module, Runner runner, QWidget* parent = nullptr);

    QList<QStringList> exportRows() const override;
    QString exportName() const override { return QStringLiteral("操作记录"); }

private:
    void find();

    QLineEdit* m_card;     // AuditCard
    QLineEdit* m_operator; // AuditOperator
    QCheckBox* m_byDate;   // AuditByDate
    QDateEdit* m_from;     // AuditFrom
    QDateEdit* m_to;       // AuditTo
    AccountsList* m_list;  // AuditList
    QLabel* m_count;       // AuditCount
    bool m_shown = false;
};

} // namespace kelm
