#pragma once

#include "entry/Screen.h"

namespace kelm {

// The password dialog "密码验证": checks the card password of the member whose card lies on the
// reader before a top-up or a redemption.
class Form3 : public Screen
{
    Q_OBJECT

public:
    explicit Form3(ScreenRegistry& registry);

protected:
    void load() override;
};

} // namespace kelm
