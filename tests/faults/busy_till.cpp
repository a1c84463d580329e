// A till that does one thing as fast as the cashier's gestures allow, for ever: tops up the member
// whose card lies on the reader ("topup", 1.5 each time) or redeems the first gift for them
// ("redeem"). It prints "ready" once the screen is up; the test kills it at a moment of its choosing.
//     kelm_busy_till CONFIG_INI CARD_FOLDER topup|redeem
#include "Till.h"

#include <kelm/Class1.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolBar>

#include <cstdio>

using namespace kelm;

namespace {

QAction* button(QWidget* screen, const char* key)
{
    for (QAction* action : screen->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions()) {
        if (action->text() == QString::fromUtf8(key))
            return action;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    ScriptedMessageBoxes messages;
    SimulatedReader reader(QString::fromLocal8Bit(argv[2]));
    Module1::Seams seams;
    seams.configPath = QString::fromLocal8Bit(argv[1]);
    seams.messages = &messages;
    seams.reader = &reader;
    ScreenRegistry registry(std::move(seams));
    ScreenRegistry::install(&registry);

    std::function<void()> gesture;
    if (qstrcmp(argv[3], "topup") == 0) {
        Class1().kelm(true);
        button(Till::window("Form1"), "充值")->trigger();
        QWidget* dialog = Till::window("Form2");
        if (!dialog)
            return 3;
        dialog->findChild<QLineEdit*>(QStringLiteral("Text7"))->setText(QStringLiteral("1.5"));
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("Command1"));
        gesture = [ok] { ok->click(); };
    } else {
        Class1().jfgl(true);
        QWidget* points = Till::window("Form4");
        button(points, "读卡")->trigger();
        points->findChild<QTableView*>(QStringLiteral("ListView1"))->selectRow(0);
        QAction* redeem = button(points, "积分兑换");
        gesture = [redeem] { redeem->trigger(); };
    }
    std::puts("ready");
    std::fflush(stdout);
    for (;;) {
        gesture();
        messages.clear();
    }
}
