#pragma once

#include "card/CardSequences.h"
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
    void showMember(const QString& cardText, const QString& phone, const QString& idNumber, const QString& address,
                    const QString& points);

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

    CardSequences m_cardSequences;
};

} // namespace kelm
