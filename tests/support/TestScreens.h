#pragma once

#include "FakeReader.h"
#include "FaultyDatabase.h"
#include "ScriptedMessageBoxes.h"
#include "TestDatabase.h"

#include "entry/ScreenRegistry.h"

#include <QAction>
#include <QStringList>
#include <QLineEdit>
#include <QWidget>

#include <memory>

// Everything a screen test needs: a database, scripted message boxes, a reader, and a registry
// of screens over them that Class1 also uses while the fixture lives.
class TestScreens
{
public:
    // reader: null gives a FakeReader that records every call.
    explicit TestScreens(kelm::ReaderLibrary* reader = nullptr);
    ~TestScreens();

    TestDatabase database;
    // The screens' connection breaks when a test says so.
    DatabaseFaults faults;
    ScriptedMessageBoxes messages;
    FakeReader fakeReader;
    kelm::ScreenRegistry& registry() { return *m_registry; }
    kelm::Module1& module() { return m_registry->module(); }

    // A top-level window that is visible, by object name, or null.
    static QWidget* visibleWindow(const QString& objectName);
    // A screen that is loaded, shown or hidden, by object name, or null.
    static QWidget* window(const QString& objectName);
    static int visibleWindowCount(const QString& objectName);
    static QLineEdit* box(QWidget* screen, const QString& objectName);
    static QAction* button(QWidget* screen, const QString& key);
    // The texts of these boxes, in the order named.
    static QStringList texts(QWidget* screen, const QStringList& boxes);
    // The toolbar's buttons as the cashier sees them: "增加+ 修改- …", + for enabled.
    static QString buttons(QWidget* screen);
    // Clicks the list's row in this column, scrolled into view as the cashier would.
    static void clickRow(QWidget* screen, int row, int column = 1);
    // Types text into a box key by key, as a cashier (or the input method, for Chinese) would.
    static void type(QWidget* box, const QString& text);
    // Lets unloaded screens go (deferred deletes).
    static void settle();

private:
    std::unique_ptr<kelm::ScreenRegistry> m_registry;
};
