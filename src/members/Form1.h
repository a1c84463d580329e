#pragma once

#include "card/CardSequences.h"
#include "common/MemberTable.h"
#include "entry/TopLevelScreen.h"

#include <QDateTime>

#include <cstdint>
#include <initializer_list>

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
    // The change that save will carry out.
    enum EntryMode : std::int16_t { Nothing = 0, Adding = 1, Editing = 2, Deleting = 3, ReportingLost = 6 };
    EntryMode entryMode() const { return static_cast<EntryMode>(m_entryMode); }

    // The card number a new member is proposed: year, month and day without leading zeros, then
    // the time of day as H:mm:ss without the colons (18 July 2024 15:30:45 gives 2024718153045).
    static QString proposeCardNumber(const QDateTime& now);

protected:
    void load() override;
    void closeSteps() override;
    void runCommand(const QString& key) override;

private:
    void addMember();
    void editMember();
    void deleteMember();
    void reportLost();
    void save();
    // Saves a new member; false, with the cashier told why, when the card number is taken.
    bool insertMember(const MemberTable::Member& member);
    // The proposal for a new member's card number that no member holds yet.
    QString unusedCardNumber();
    void issueCard();
    void initialiseCard();
    // Opens the recharge dialog for the member whose card lies on the reader, through the password
    // dialog unless the member still has the default password.
    void rechargeCard();
    // Takes the selected member's row out of the list until the next save; a row taken out for a
    // change that was then replaced by another comes back.
    void takeSelectedRow();
    void setRecordBoxesEnabled(bool enabled);
    void setButtonsEnabled(std::initializer_list<int> positions, bool enabled);

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

    CardSequences m_cardSequences;
    // What the last card read found; a failed read leaves it as it was.
    std::array<std::uint8_t, 16> m_readBuffer{};
};

} // namespace kelm
