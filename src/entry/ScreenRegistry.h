#pragma once

#include "common/MemberTable.h"
#include "entry/Module1.h"

#include <QPointer>

#include <memory>

class QWidget;

namespace kelm {

class Screen;

// What a correct password in the password dialog leads to.
enum class PasswordRoute { None, Recharge, PointsScreen };

// The owner of the screens: one instance of each, created on first reference, and the shared state.
// Screens never know one another; they ask the registry for what they need from another screen.
class ScreenRegistry
{
public:
    explicit ScreenRegistry(Module1::Seams seams);
    ~ScreenRegistry();
    ScreenRegistry(const ScreenRegistry&) = delete;
    ScreenRegistry& operator=(const ScreenRegistry&) = delete;

    // The registry the host's Class1 objects use: the one installed, or else one reading
    // config.ini beside the library and showing real message boxes.
    static ScreenRegistry& instance();
    // Makes registry the one Class1 uses (null: back to the default).
    static void install(ScreenRegistry* registry);

    Module1& module() { return m_module; }

    // What the host opens. Throws kelm::Error when the screen's load fails.
    void showMemberScreen();
    void showPointsScreen();
    void showAccountsScreen();

    // The recharge dialog, for the member whose card lies on the reader.
    void openRechargeDialog();
    // The password dialog, for what a correct password is to lead to.
    void askPassword(PasswordRoute route);
    // The recharge dialog or the points screen loaded since a password was asked for: a correct
    // password now leads nowhere.
    void dropPasswordRoute();
    // After a correct password: the member read from the card on the points screen.
    void showMemberOnPointsScreen(const QString& cardText, const MemberTable::Member& member);
    void openGiftCatalogue();
    // The member screen while it exists, for the dialogs that hold it and give it back; else null.
    QWidget* memberScreen() const;

    // Called by a screen that is being unloaded: its next reference creates a fresh one.
    void forget(Screen* screen);

private:
    enum Slot { MemberScreen, RechargeDialog, PasswordDialog, PointsScreen, GiftCatalogue, AccountsScreen, Slots };
    template <typename Form>
    Form& screen(Slot slot);

    std::unique_ptr<MessageBoxService> m_ownMessages;
    Module1 m_module;
    QPointer<Screen> m_screens[Slots];
};

} // namespace kelm
