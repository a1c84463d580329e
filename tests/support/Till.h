#pragma once

// A till for one test: a database of its own, message boxes that record what they show and answer as
// told, a reader (the simulated one over a card folder of the till's own, behind one that records and
// can fail its calls, unless the test brings another), and the library's screens over them, which
// Class1 reaches while the till lives. The cashier's gestures find the screens and their controls by
// object name.
#include "FaultyDatabase.h"
#include "FaultyReader.h"
#include "ScriptedMessageBoxes.h"
#include "TestDatabase.h"

#include "card/CardFolder.h"
#include "card/SimulatedReader.h"
#include "entry/ScreenRegistry.h"

#include <QTemporaryDir>

#include <memory>

class QAbstractItemModel;
class QLineEdit;

class Till
{
public:
    explicit Till(kelm::ReaderLibrary* reader = nullptr);
    // Closes what the cashier left open, so every close step runs before the screens go.
    ~Till();
    Till(const Till&) = delete;
    Till& operator=(const Till&) = delete;

    TestDatabase database;
    DatabaseFaults faults; // the screens' connection breaks when told to
    ScriptedMessageBoxes messages;
    QTemporaryDir cardDir;
    kelm::CardFolder cards{cardDir.path()};
    kelm::SimulatedReader simulated{cardDir.path()};
    FaultyReader reader{simulated};

    kelm::ScreenRegistry& registry() { return *m_registry; }
    kelm::Module1& module() { return m_registry->module(); }

    // The host opens the member screen (kelm), the points screen (jfgl) or the accounts screen (zmcx);
    // the cashier waits for the list to fill unless told not to.
    static void open(const char* entry, bool waitForTheList = true);
    // A screen or dialog the cashier sees; loaded: also one that is only hidden.
    static QWidget* window(const char* name);
    static QWidget* loaded(const char* name);

    static QLineEdit* box(const char* screen, const char* name);
    // A box's text; "<not shown>" when the screen is not.
    static QString text(const char* screen, const char* name);
    static QStringList texts(const char* screen, const QStringList& names);
    // Presses a toolbar button as the cashier clicks it: a disabled one does nothing.
    static void press(const char* screen, const char* key);
    // Clicks a push button (Command1 …).
    static void click(const char* screen, const char* button);
    // Replaces a box's text key by key, as a cashier (or the input method) types; enter also
    // presses Enter in it.
    static void type(const char* screen, const char* name, const QString& text);
    static void enter(const char* screen, const char* name, const QString& text);
    // The toolbar as the cashier sees it: "增加+ 修改- …", + for enabled.
    static QString buttons(const char* screen);

    static QAbstractItemModel* list(const char* screen);
    static int rows(const char* screen);
    static QString cell(const char* screen, int row, int column);
    static QStringList row(const char* screen, int row);
    // The same for a list a screen names otherwise than ListView1 (a screen with several lists).
    static QAbstractItemModel* list(const char* screen, const char* name);
    static int rows(const char* screen, const char* name);
    static QStringList row(const char* screen, const char* name, int row);
    static void clickRow(const char* screen, const char* name, int row);
    // Clicks a list row, scrolled into view; or the first row whose column shows the text.
    static void clickRow(const char* screen, int row, int column = 1);
    static void clickRow(const char* screen, int column, const QString& text);

    // Lets unloaded screens go.
    static void settle();

    // A factory card made a card of this installation carrying the number and laid on the reader.
    // Needs a screen loaded (the card key is in the database).
    bool layCard(const QString& cardNumber);
    int beepsSinceLay() const { return simulated.beepCount() - m_beepsAtLay; }
    std::uint32_t cardOnReader() const { return m_card; }
    // Block 20 of the card laid last, as its 16 bytes.
    QByteArray cardText();

    // What the cashier was told since the last look.
    QStringList said();
    // One column of the member with this card number, as the database holds it.
    QString member(const char* column, const QString& card);

private:
    std::unique_ptr<kelm::ScreenRegistry> m_registry;
    int m_beepsAtLay = 0;
    std::uint32_t m_card = 0;
};
