#include "Till.h"

#include "card/CardSequences.h"
#include "common/CompactTableModel.h"
#include "common/ReportListView.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolBar>

#include <kelm/Class1.h>

Till::Till(kelm::ReaderLibrary* reader)
{
    kelm::Module1::Seams seams;
    seams.configPath = database.configPath();
    seams.messages = &messages;
    seams.reader = reader ? reader : &this->reader;
    seams.databases = [this](kelm::Engine engine) {
        return std::make_unique<FaultyDatabase>(kelm::SharedConnection::createDatabase(engine), faults);
    };
    m_registry = std::make_unique<kelm::ScreenRegistry>(std::move(seams));
    kelm::ScreenRegistry::install(m_registry.get());
}

Till::~Till()
{
    for (const char* name : {"Form2", "Form3", "Form5", "Form4", "Form1", "Form6"}) {
        if (QWidget* screen = loaded(name))
            screen->close();
    }
    settle();
    m_registry.reset();
    settle();
}

void Till::open(const char* entry, bool waitForTheList)
{
    if (qstrcmp(entry, "zmcx") == 0) {
        // The accounts screen reads nothing until the owner asks.
        kelm::Class1().zmcx(true);
        return;
    }
    qstrcmp(entry, "kelm") == 0 ? kelm::Class1().kelm(true) : kelm::Class1().jfgl(true);
    if (!waitForTheList)
        return;
    QWidget* screen = window(qstrcmp(entry, "kelm") == 0 ? "Form1" : "Form4");
    auto* list = screen ? screen->findChild<kelm::ReportListView*>(QStringLiteral("ListView1")) : nullptr;
    while (list && list->listModel()->isFilling())
        QCoreApplication::processEvents();
}

QWidget* Till::window(const char* name)
{
    for (QWidget* screen : QApplication::topLevelWidgets()) {
        if (screen->objectName() == QLatin1String(name) && screen->isVisible())
            return screen;
    }
    return nullptr;
}

QWidget* Till::loaded(const char* name)
{
    // A screen closed a moment ago goes with the deferred deletes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* screen : QApplication::topLevelWidgets()) {
        if (screen->objectName() == QLatin1String(name))
            return screen;
    }
    return nullptr;
}

QLineEdit* Till::box(const char* screen, const char* name)
{
    QWidget* shown = window(screen);
    return shown ? shown->findChild<QLineEdit*>(QLatin1String(name)) : nullptr;
}

QString Till::text(const char* screen, const char* name)
{
    QLineEdit* edit = box(screen, name);
    return edit ? edit->text() : QStringLiteral("<not shown>");
}

QStringList Till::texts(const char* screen, const QStringList& names)
{
    QStringList result;
    for (const QString& name : names)
        result << text(screen, name.toLatin1().constData());
    return result;
}

static QToolBar* toolbar(const char* screen)
{
    QWidget* shown = Till::window(screen);
    return shown ? shown->findChild<QToolBar*>(QStringLiteral("Toolbar1")) : nullptr;
}

void Till::press(const char* screen, const char* key)
{
    QToolBar* bar = toolbar(screen);
    QVERIFY2(bar, screen);
    for (QAction* action : bar->actions()) {
        if (action->text() == QString::fromUtf8(key))
            return action->trigger();
    }
    QFAIL(key);
}

void Till::click(const char* screen, const char* button)
{
    QWidget* shown = window(screen);
    QVERIFY2(shown, screen);
    QTest::mouseClick(shown->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    settle();
}

void Till::type(const char* screen, const char* name, const QString& text)
{
    QLineEdit* edit = box(screen, name);
    QVERIFY2(edit, name);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            QTest::keyClick(edit, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void Till::enter(const char* screen, const char* name, const QString& text)
{
    type(screen, name, text);
    QTest::keyClick(box(screen, name), Qt::Key_Return);
    settle();
}

QString Till::buttons(const char* screen)
{
    QStringList shown;
    for (QAction* action : toolbar(screen)->actions()) {
        if (!action->text().isEmpty())
            shown << action->text() + (action->isEnabled() ? u'+' : u'-');
    }
    return shown.join(u' ');
}

static QTableView* view(const char* screen, const char* name = "ListView1")
{
    QWidget* shown = Till::window(screen);
    return shown ? shown->findChild<QTableView*>(QLatin1String(name)) : nullptr;
}

QAbstractItemModel* Till::list(const char* screen)
{
    return list(screen, "ListView1");
}

QAbstractItemModel* Till::list(const char* screen, const char* name)
{
    QTableView* table = view(screen, name);
    return table ? table->model() : nullptr;
}

int Till::rows(const char* screen)
{
    return list(screen)->rowCount();
}

int Till::rows(const char* screen, const char* name)
{
    return list(screen, name)->rowCount();
}

QString Till::cell(const char* screen, int row, int column)
{
    return list(screen)->index(row, column).data().toString();
}

QStringList Till::row(const char* screen, int row)
{
    return Till::row(screen, "ListView1", row);
}

QStringList Till::row(const char* screen, const char* name, int row)
{
    const QAbstractItemModel* model = list(screen, name);
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column)
        cells << model->index(row, column).data().toString();
    return cells;
}

void Till::clickRow(const char* screen, int row, int column)
{
    QTableView* table = view(screen);
    const QModelIndex index = table->model()->index(row, column);
    table->scrollTo(index);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
}

void Till::clickRow(const char* screen, const char* name, int row)
{
    QTableView* table = view(screen, name);
    QVERIFY2(table, name);
    const QModelIndex index = table->model()->index(row, 0);
    table->scrollTo(index);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
}

void Till::clickRow(const char* screen, int column, const QString& text)
{
    for (int row = 0; row < rows(screen); ++row) {
        if (cell(screen, row, column) == text)
            return clickRow(screen, row, column);
    }
    QFAIL(qPrintable(QStringLiteral("no row shows ") + text));
}

void Till::settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool Till::layCard(const QString& cardNumber)
{
    const std::optional<std::uint32_t> serial = cards.newCard();
    if (!serial || !cards.place(*serial))
        return false;
    m_card = *serial;
    kelm::CardSequences sequences(module().readerPort(), module().cardKeyIdentifier());
    const bool initialised = sequences.initialise() == kelm::InitialiseOutcome::Initialised;
    sequences.halt();
    std::array<std::uint8_t, 16> buffer{};
    const bool issued = sequences.issue(cardNumber, buffer) == kelm::IssueOutcome::Issued;
    sequences.halt();
    m_beepsAtLay = simulated.beepCount();
    return initialised && issued;
}

QByteArray Till::cardText()
{
    const kelm::MifareCard::Block block = cards.load(m_card)->rawBlock(20);
    return QByteArray(reinterpret_cast<const char*>(block.data()), 16);
}

QStringList Till::said()
{
    const QStringList texts = messages.texts();
    messages.clear();
    return texts;
}

QString Till::member(const char* column, const QString& card)
{
    return database.scalar(QStringLiteral("SELECT %1 FROM kelm WHERE 卡号='%2'").arg(QString::fromUtf8(column), card));
}
