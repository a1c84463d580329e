#include "TestScreens.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTableView>
#include <QTest>
#include <QToolBar>

TestScreens::TestScreens(kelm::ReaderLibrary* reader)
{
    kelm::Module1::Seams seams;
    seams.configPath = database.configPath();
    seams.messages = &messages;
    seams.reader = reader ? reader : &fakeReader;
    seams.databases = [this](kelm::Engine engine) {
        return std::make_unique<FaultyDatabase>(kelm::SharedConnection::createDatabase(engine), faults);
    };
    m_registry = std::make_unique<kelm::ScreenRegistry>(std::move(seams));
    kelm::ScreenRegistry::install(m_registry.get());
}

TestScreens::~TestScreens()
{
    m_registry.reset();
    settle();
}

QWidget* TestScreens::visibleWindow(const QString& objectName)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == objectName && window->isVisible())
            return window;
    }
    return nullptr;
}

QWidget* TestScreens::window(const QString& objectName)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == objectName)
            return window;
    }
    return nullptr;
}

int TestScreens::visibleWindowCount(const QString& objectName)
{
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        count += window->objectName() == objectName && window->isVisible();
    return count;
}

QLineEdit* TestScreens::box(QWidget* screen, const QString& objectName)
{
    return screen ? screen->findChild<QLineEdit*>(objectName) : nullptr;
}

QAction* TestScreens::button(QWidget* screen, const QString& key)
{
    auto* toolbar = screen ? screen->findChild<QToolBar*>(QStringLiteral("Toolbar1")) : nullptr;
    if (!toolbar)
        return nullptr;
    for (QAction* action : toolbar->actions()) {
        if (action->text() == key)
            return action;
    }
    return nullptr;
}

QStringList TestScreens::texts(QWidget* screen, const QStringList& boxes)
{
    QStringList result;
    for (const QString& name : boxes)
        result << (box(screen, name) ? box(screen, name)->text() : QStringLiteral("<no box %1>").arg(name));
    return result;
}

QString TestScreens::buttons(QWidget* screen)
{
    auto* toolbar = screen ? screen->findChild<QToolBar*>(QStringLiteral("Toolbar1")) : nullptr;
    QStringList shown;
    for (QAction* action : toolbar ? toolbar->actions() : QList<QAction*>()) {
        if (!action->text().isEmpty())
            shown << action->text() + (action->isEnabled() ? u'+' : u'-');
    }
    return shown.join(u' ');
}

void TestScreens::clickRow(QWidget* screen, int row, int column)
{
    auto* list = screen->findChild<QTableView*>(QStringLiteral("ListView1"));
    const QModelIndex index = list->model()->index(row, column);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

void TestScreens::type(QWidget* box, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            QTest::keyClick(box, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void TestScreens::settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
