#pragma once

#include "entry/TopLevelScreen.h"

#include <cstdint>

class QGroupBox;
class QLineEdit;

namespace kelm {

class CompactTableModel;
class ReportListView;

// The member screen "会员管理": every member of the member table in a list, the selected
// member's data in six fields, and the toolbar of member and card commands.
class Form1 : public TopLevelScreen
{
    Q_OBJECT

public:
    explicit Form1(ScreenRegistry& registry);

    // The nine commands, in button order.
    static const QStringList Commands;

    // The running number of the row clicked last; 0 when none is selected.
    int selectedRow() const { return m_selectedRow; }

protected:
    void load() override;
    void closeSteps() override;
    void runCommand(const QString& key) override;

private:
    void fillMemberList();
    void itemClick(const QModelIndex& index);
    QAction* button(int position) const; // 1-based, in button order

    QGroupBox* m_frame;
    QLineEdit* m_name;     // Text1
    QLineEdit* m_address;  // Text2
    QLineEdit* m_phone;    // Text3
    QLineEdit* m_password; // Text4
    QLineEdit* m_card;     // Text5
    QLineEdit* m_idNumber; // Text6
    QLineEdit* m_cardTextBuffer; // Text12
    ReportListView* m_list;
    CompactTableModel* m_model;

    // A list beyond 32767 members is clicked as well as a short one, so the selected row is
    // held in 32 bits.
    int m_selectedRow = 0;
    std::int16_t m_entryMode = 0;
};

} // namespace kelm
