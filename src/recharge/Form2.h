#pragma once

#include "card/CardSequences.h"
#include "common/StoredNumber.h"
#include "entry/Screen.h"

#include <QPointer>

#include <optional>

class QLineEdit;
class QPushButton;

namespace kelm {

// The recharge dialog "会员卡充值": tops up the balance of the member whose card lies on the reader.
// While it is up the member screen takes no input; closing it gives the member screen back.
class Form2 : public Screen
{
    Q_OBJECT

public:
    explicit Form2(ScreenRegistry& registry);

protected:
    void load() override;
    void closeSteps() override;

    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void recharge();
    // Reads the member's row into the boxes; false when no member has the card or the row cannot
    // be topped up.
    bool showMember(const QString& cardNumber);
    void disableMemberScreen();

    QLineEdit* m_card;     // Text5
    QLineEdit* m_name;     // Text1
    QLineEdit* m_phone;    // Text3
    QLineEdit* m_idNumber; // Text6
    QLineEdit* m_address;  // Text2
    QLineEdit* m_balanceBox; // Text4
    QLineEdit* m_amount;   // Text7
    QPushButton* m_ok;     // Command1
    QPushButton* m_cancel; // Command2

    CardSequences m_cardSequences;
    // The member the load found, by card number; a recharge needs one, so that a card that could
    // not be read never writes a balance of its own over a member's.
    std::optional<QString> m_memberCard;
    double m_balance = 0;
    // The balance as the member row held it when last read or written here.
    StoredNumber m_storedBalance;
    // The member screen while this dialog holds it disabled.
    QPointer<QWidget> m_heldScreen;
    bool m_closing = false;
};

} // namespace kelm
