#pragma once

#include "entry/TopLevelScreen.h"

class QTabWidget;

namespace kelm {

class AccountsPage;

// The member accounts screen "会员账目", for the shop's owner: a member's history, the day report
// of an operator's top-ups and the gifts redeemed, the stored value owed to members, the audit, and
// the top-ups day by day as a chart; 导出 writes the page shown to a CSV file.
class Form6 : public TopLevelScreen
{
    Q_OBJECT

public:
    explicit Form6(ScreenRegistry& registry);

    // The two commands, in button order.
    static const QStringList Commands;

protected:
    void load() override;
    void closeSteps() override;
    void runCommand(const QString& key) override;

private:
    void exportPage();
    AccountsPage* currentPage() const;

    QTabWidget* m_pages; // Pages
};

} // namespace kelm
