#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;

namespace kelm {

class Module1;
class ScreenRegistry;

// Twips, the unit the screens were laid out in, at 15 to a pixel.
constexpr int twips(int value)
{
    return value / 15;
}

// A screen or dialog of the library: one instance, shown modeless, loaded when it is shown while
// not loaded. Closing it runs its close steps and unloads it: the window and its controls go, and
// the next show builds and loads them afresh.
class Screen : public QWidget
{
    Q_OBJECT

public:
    Screen(ScreenRegistry& registry, const QString& objectName, const QString& caption, QSize clientTwips);

    bool isLoaded() const { return m_loaded; }

    // Shows the screen; runs its load when it is not loaded. A load that fails unloads the screen
    // again and throws kelm::Error.
    void showScreen();
    // Unloads the screen as its close box would.
    void unload() { close(); }

protected:
    virtual void load() = 0;
    // What closing the screen does besides unloading it. Never cancels the close.
    virtual void closeSteps() {}

    void closeEvent(QCloseEvent* event) override;

    ScreenRegistry& registry() { return m_registry; }
    Module1& module();

    // A text box (object name given) and its label to the left of it, placed in twips.
    static QLineEdit* addTextBox(QWidget* parent, const QString& objectName, const QString& label, int left, int top,
                                 int width, int height = 375);

    // Masks a password box with "*" for every character typed, whatever the platform's own mask.
    static void maskWithStars(QLineEdit* box);

    // Runs a button's handler to its end. A failure that the handler itself does not handle is
    // shown as a message instead of reaching the host's event loop.
    void runHandler(const std::function<void()>& handler);
    // Runs one database step of a command that writes in several steps. When the step fails,
    // runs undo (boxes back to what the database still holds), shows leftBehind (what the database
    // holds now, for the cashier to put right) with the reason, and returns false: the command
    // ends there.
    bool runStep(const QString& leftBehind, const std::function<void()>& step,
                 const std::function<void()>& undo = {});

private:
    ScreenRegistry& m_registry;
    bool m_loaded = false;
    bool m_closing = false;
    bool m_closeStepsDone = false;
};

} // namespace kelm
