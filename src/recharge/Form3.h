#pragma once

#include "card/CardSequences.h"
#include "entry/ScreenRegistry.h"
#include "entry/Screen.h"

class QLineEdit;
class QPushButton;

namespace kelm {

// The password dialog "密码验证": checks the card password of the member whose card lies on the
// reader before a top-up or a redemption.
class Form3 : public Screen
{
    Q_OBJECT

public:
    explicit Form3(ScreenRegistry& registry);

    // What a correct password is to lead to; shows the dialog unless told not to.
    void ask(PasswordRoute route, bool show = true);

protected:
    void load() override;
    void closeSteps() override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void verify();

    QLineEdit* m_password; // Text1
    QPushButton* m_ok;     // Command1
    QPushButton* m_cancel; // Command2

    CardSequences m_cardSequences;
    PasswordRoute m_route = PasswordRoute::None;
    // The password of the member found by the last verification.
    QString m_storedPassword;
};

} // namespace kelm
