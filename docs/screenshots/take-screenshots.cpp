// Works every screen of libkelm.so as a cashier (and the owner) does, with the X server's own mouse,
// and saves what the X server shows. Usage: take-screenshots OUTPUT_FOLDER KELM_ADMIN (config.ini by
// KELM_CONFIG; two blank simulated cards are made and laid with kelm-admin).
#include <kelm/Class1.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <cstdio>
#include <cstdlib>

namespace {

QString g_folder;
QString g_admin;

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "take-screenshots: %s\n", qPrintable(why));
    std::exit(1);
}

QString admin(const QStringList& arguments)
{
    QProcess process;
    process.start(g_admin, arguments);
    if (!process.waitForFinished() || process.exitCode() != 0)
        fail(QStringLiteral("kelm-admin %1 failed").arg(arguments.join(u' ')));
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QWidget* window(const char* name)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->objectName() == QLatin1String(name))
            return window;
    }
    fail(QStringLiteral("%1 is not shown").arg(QLatin1String(name)));
}

// The mouse where no window is, or over a widget.
void moveMouseAway()
{
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
    QTest::qWait(300);
}

void moveMouseOver(QWidget* widget)
{
    QCursor::setPos(widget->mapToGlobal(widget->rect().center()));
    QTest::qWait(500);
}

// What the X server shows where the window is (no window manager: no frame around it).
void shoot(const QString& file, const QWidget* shown)
{
    QTest::qWait(300);
    const QRect area = shown->frameGeometry();
    const QPixmap picture
        = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!picture.save(g_folder + u'/' + file))
        fail(QStringLiteral("cannot write %1").arg(file));
    std::printf("%s\n", qPrintable(file));
}

QWidget* toolbarButton(QWidget* screen, const QString& caption)
{
    auto* toolbar = screen->findChild<QToolBar*>();
    for (QAction* action : toolbar->actions()) {
        if (action->text() == caption)
            return toolbar->widgetForAction(action);
    }
    fail(QStringLiteral("no button %1").arg(caption));
}

void press(QWidget* screen, const QString& caption)
{
    QTest::mouseClick(toolbarButton(screen, caption), Qt::LeftButton);
    QTest::qWait(200);
}

void clickRow(QWidget* screen, const QString& name)
{
    auto* list = screen->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
    const QAbstractItemModel* model = list->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex index = model->index(row, column);
            if (index.data().toString() == name) {
                list->scrollTo(index);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
                return;
            }
        }
    }
    fail(QStringLiteral("no member %1").arg(name));
}

void type(QWidget* screen, const char* box, const QString& text)
{
    auto* edit = screen->findChild<QLineEdit*>(QLatin1String(box));
    if (!edit)
        fail(QStringLiteral("no box %1").arg(QLatin1String(box)));
    edit->setFocus();
    QTest::keyClicks(edit, text);
}

void click(QWidget* screen, const char* button)
{
    QTest::mouseClick(screen->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    QTest::qWait(200);
}

// A card of the member's own, as the cashier makes one: a blank card laid on the reader, initialised
// and issued on the member screen.
void issueCard(QWidget* members, const QString& serial, const QString& name)
{
    admin({QStringLiteral("card"), QStringLiteral("place"), serial});
    clickRow(members, name);
    press(members, QStringLiteral("初始化"));
    press(members, QStringLiteral("发卡"));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3)
        fail(QStringLiteral("usage: take-screenshots OUTPUT_FOLDER KELM_ADMIN"));
    g_folder = QString::fromLocal8Bit(argv[1]);
    g_admin = QString::fromLocal8Bit(argv[2]);

    // The screens' message boxes ("发卡成功！") are answered as the cashier would, and said.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::printf("  message: %s\n", qPrintable(box->text()));
            box->accept();
        }
    });
    answer.start(200);

    const QString first = admin({QStringLiteral("card"), QStringLiteral("new")});
    const QString second = admin({QStringLiteral("card"), QStringLiteral("new")});
    kelm::Class1 membership;
    try {
        membership.kelm(true);
        moveMouseAway();
        QWidget* members = window("Form1");
        shoot(QStringLiteral("member-screen.png"), members);
        moveMouseOver(toolbarButton(members, QStringLiteral("增加")));
        shoot(QStringLiteral("member-screen-hover.png"), members);
        moveMouseAway();

        // 王芳 keeps the default PIN: 充值 opens the recharge dialog at once.
        issueCard(members, first, QStringLiteral("王芳"));
        press(members, QStringLiteral("充值"));
        QWidget* recharge = window("Form2");
        shoot(QStringLiteral("recharge-dialog.png"), recharge);
        // A top-up, for the accounts screen's history further on.
        type(recharge, "Text7", QStringLiteral("200"));
        click(recharge, "Command1");
        click(recharge, "Command2");
        // 李娜 has a PIN of her own: the password dialog asks for it first.
        issueCard(members, second, QStringLiteral("李娜"));
        press(members, QStringLiteral("充值"));
        QWidget* password = window("Form3");
        shoot(QStringLiteral("password-dialog.png"), password);
        click(password, "Command2");
        members->close();

        admin({QStringLiteral("card"), QStringLiteral("place"), first});
        membership.jfgl(true);
        QWidget* points = window("Form4");
        press(points, QStringLiteral("读卡"));
        moveMouseAway();
        shoot(QStringLiteral("points-screen.png"), points);
        moveMouseOver(toolbarButton(points, QStringLiteral("积分兑换")));
        shoot(QStringLiteral("points-screen-hover.png"), points);
        moveMouseAway();
        press(points, QStringLiteral("礼品管理"));
        shoot(QStringLiteral("gift-catalogue.png"), window("Form5"));

        // The owner's accounts screen: the history of the member whose card lies on the reader.
        membership.zmcx(true);
        QWidget* accounts = window("Form6");
        click(accounts, "ReadCard");
        moveMouseAway();
        shoot(QStringLiteral("accounts-screen.png"), accounts);
    } catch (const kelm::Error& failure) {
        fail(QString::fromUtf8(failure.what()));
    }
    return 0;
}
