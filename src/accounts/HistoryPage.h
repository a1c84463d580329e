#pragma once

#include "accounts/AccountsPage.h"
#include "card/CardSequences.h"
#include "common/Books.h"

#include <vector>

class QModelIndex;

namespace kelm {

class AccountsList;

// 会员历史: a member found by card number, name, phone or ID number, or by the card on the reader;
// the member's data, balance and points, and every top-up and redemption in date order with the
// totals up to it.
class HistoryPage : public AccountsPage
{
    Q_OBJECT

public:
    HistoryPage(Module1& module, Runner runner, QWidget* parent = nullptr);

    QList<QStringList> exportRows() const override;
    QString exportName() const override { return QStringLiteral("会员历史"); }

private:
    void find();
    void readCard();
    void pick(const QModelIndex& index);
    // Shows the member with the card number and the member's history; false when no member has it.
    bool showHistory(const QString& cardNumber);
    void showMember(const MemberTable::Member& member);
    void clearMember();

    QLineEdit* m_text;             // FindText
    AccountsList* m_found;         // MemberList
    QLineEdit* m_boxes[8];         // the member's data, in MemberFields order
    AccountsList* m_lines;         // HistoryList
    QLabel* m_summary;             // HistorySummary
    std::vector<MemberTable::Member> m_members; // the rows of MemberList
    bool m_memberShown = false;

    CardSequences m_cardSequences;
};

} // namespace kelm
