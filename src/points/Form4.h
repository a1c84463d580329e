#pragma once

#include "card/CardSequences.h"
#include "common/MemberTable.h"
#include "entry/TopLevelScreen.h"

#include <optional>

class QGroupBox;
class QLineEdit;

namespace kelm {

class CompactTableModel;
class ReportListView;

// The points screen "积分管理": a member read from the card, the gifts available for redemption,
// and the commands to redeem points and correct them.
class Form4 : public TopLevelScreen
{
    Q_OBJECT

public:
    explicit Form4(ScreenRegistry& registry);

    // The six commands, in button order.
    static const QStringList Commands;

    // Shows a member read from the card: all 16 characters of the card text and the member's
    // telephone, ID-card number, address and points. The name box is not touched.
    void showMember(const QString& cardText, const MemberTable::Member& member);

protected:
    void load() override;
    void closeSteps() override;
    void runCommand(const QString& key) override;

private:
    void fillGiftList();
    void readCard();
    void redeem();
    void editPoints();
    void savePoints();
    void openGiftCatalogue();
    // The list row of the gift the cashier picked; no value when none is picked.
    std::optional<int> selectedGiftRow() const;

    QGroupBox* m_memberFrame; // Frame1
    QGroupBox* m_giftFrame;   // Frame2
    QLineEdit* m_name;     // Text1
    QLineEdit* m_address;  // Text2
    QLineEdit* m_phone;    // Text3
    QLineEdit* m_points;   // Text4
    QLineEdit* m_card;     // Text5
    QLineEdit* m_idNumber; // Text6
    ReportListView* m_list;
    CompactTableModel* m_model;

    // After another till changed the member's points or the gift's stock: the boxes and the list
    // show what the tables hold now.
    void showCurrentPointsAndStock(const QString& cardNumber, int giftRow);

    CardSequences m_cardSequences;
    // The member's points as the table held them when they were last read or written here: a
    // redemption or a correction writes only while the table still holds them.
    StoredNumber m_storedPoints;
};

} // namespace kelm
