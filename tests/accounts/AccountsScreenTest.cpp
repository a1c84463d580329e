// The accounts screen as the shop's owner drives it over known top-ups, redemptions, lost cards and
// audit rows: a member's history found by text and by the card on the simulated reader, the day
// report, the stored value owed, the audit, the chart, the CSV files it exports, and a database
// that breaks off under it; checked in the boxes, lists, chart, messages and files.
#include "Till.h"

#include <kelm/Class1.h>

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QChartView>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace kelm;

namespace {

const char* S = "Form6";
const QString A = QStringLiteral("2026120100001");
const QString B = QStringLiteral("2026120100002");
const QString C = QStringLiteral("2026120100003");

// Three members, two of them of one name; top-ups and redemptions over three days, one top-up whose
// date no till's format gives; C's card reported lost once and issued again under its number.
void fillBooks(TestDatabase& db)
{
    db.addMember(A, QStringLiteral("张三"), QStringLiteral("150.5"), QStringLiteral("40"));
    db.addMember(B, QStringLiteral("张伟"), QStringLiteral("20"), QStringLiteral("0"));
    db.addMember(C, QStringLiteral("张伟"), QStringLiteral("0.25"), QStringLiteral("5"));
    db.exec(QStringLiteral(
        "INSERT INTO qzjl (日期, 卡号, 持卡人, 业务, 金额, 操作员) VALUES "
        "('2026-12-01', '%1', '张三', '充值', 50.5, '收银员乙'), ('2026/12/3', '%1', '张三', '充值', 100, '收银员甲'), "
        "('2026-12-03 18:20:00', '%2', '张伟', '充值', 20, '收银员甲'), ('昨天', '%1', '张三', '充值', 20, '收银员甲');"
        "INSERT INTO lpdhjr (日期, 卡号, 姓名, 礼品, 数量, 积分, 操作员) VALUES "
        "('2026-12-02', '%1', '张三', '雨伞', 1, 30, '收银员甲'), ('2026-12-03', '%3', '张伟', '雨伞', 1, 30, '收银员乙');"
        "INSERT INTO gs (日期, 卡号, 姓名, 联系地址, 联系电话, 密码, 身份证号) VALUES "
        "('2026-11-30', '%3', '张伟', '', '', '462', '');"
        "INSERT INTO kelm_audit (时间, 收银机, 操作员, 卡号, 操作, 原值, 新值, 说明) VALUES "
        "('2026-12-01 09:00:00', '前台1', '收银员乙', '%1', '充值', '0', '50.5', '充值 50.5 元'), "
        "('2026-12-03 10:00:00', '前台2', '收银员甲', '%1', '充值', '50.5', '150.5', ''), "
        "('2026-12-03 11:00:00', '前台2', '收银员甲', '%2', '充值', '0', '20', '')")
                .arg(A, B, C));
}

template <typename Widget>
Widget* control(const char* name)
{
    QWidget* screen = Till::window(S);
    return screen ? screen->findChild<Widget*>(QLatin1String(name)) : nullptr;
}

// Clicks a page's tab, as the owner does.
void openPage(const QString& caption)
{
    auto* pages = control<QTabWidget>("Pages");
    QVERIFY(pages);
    for (int i = 0; i < pages->count(); ++i) {
        if (pages->tabText(i) == caption) {
            QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(i).center());
            QCOMPARE(pages->currentIndex(), i);
            return;
        }
    }
    QFAIL(qPrintable(caption));
}

void setDates(const char* from, QDate first, const char* to, QDate last)
{
    control<QDateEdit>(from)->setDate(first);
    control<QDateEdit>(to)->setDate(last);
}

QString label(const char* name)
{
    return control<QLabel>(name)->text();
}

// The chart's points as "day=yuan", the day counted from the first of the range.
QStringList chartPoints()
{
    const auto* series = qobject_cast<QLineSeries*>(control<QChartView>("TrendChart")->chart()->series().value(0));
    QStringList points;
    for (const QPointF& point : series->points())
        points << QString::number(point.x()) + u'=' + QString::number(point.y());
    return points;
}

// What 导出 wrote: the text after the byte-order mark, line by line.
QStringList exported(Till& till, const QString& path)
{
    till.messages.chooseFile(path);
    Till::press(S, "导出");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<no file>")};
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return {QStringLiteral("<no byte-order mark>")};
    return QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

} // namespace

class AccountsScreenTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        Till::settle();
        QVERIFY(!QGuiApplication::overrideCursor());
        for (QWidget* window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
    }

    void historyOfAMemberFoundByTextOrByTheCard()
    {
        Till till;
        fillBooks(till.database);
        Till::open("zmcx");
        QCOMPARE(Till::window(S)->windowTitle(), QStringLiteral("会员账目"));
        QCOMPARE(Till::buttons(S), QStringLiteral("导出+ 退出+"));

        Till::enter(S, "FindText", QStringLiteral(" ") + A);
        QCOMPARE(Till::texts(S, {"MemberCard", "MemberName", "MemberPhone", "MemberBalance", "MemberPoints"}),
                 QStringList({A, "张三", "13800000001", "150.5", "40"}));
        // Date order whatever the till's date form, running totals, the unreadable date last and marked.
        QCOMPARE(Till::rows(S, "HistoryList"), 4);
        QCOMPARE(Till::row(S, "HistoryList", 0),
                 QStringList({"2026-12-01", "充值", "充值", "50.5", "", "50.5", "0", "收银员乙", ""}));
        QCOMPARE(Till::row(S, "HistoryList", 1),
                 QStringList({"2026-12-02", "兑换", "雨伞", "", "30", "50.5", "30", "收银员甲", ""}));
        QCOMPARE(Till::row(S, "HistoryList", 2),
                 QStringList({"2026-12-03", "充值", "充值", "100", "", "150.5", "30", "收银员甲", ""}));
        QCOMPARE(Till::row(S, "HistoryList", 3),
                 QStringList({"昨天", "充值", "充值", "20", "", "170.5", "30", "收银员甲", "日期无法识别"}));
        QVERIFY(Till::list(S, "HistoryList")->index(3, 0).data(Qt::ForegroundRole).isValid());
        QVERIFY2(label("HistorySummary").startsWith(QStringLiteral("充值 3 笔，合计 170.5 元；兑换 1 笔，合计 30 积分。")),
                 qPrintable(label("HistorySummary")));

        // One name, two members: the owner picks one from the list.
        Till::enter(S, "FindText", QStringLiteral("张伟"));
        QCOMPARE(Till::rows(S, "MemberList"), 2);
        QVERIFY(control<QWidget>("MemberList")->isVisible());
        QCOMPARE(Till::text(S, "MemberCard"), QString());
        QCOMPARE(Till::rows(S, "HistoryList"), 0);
        Till::clickRow(S, "MemberList", Till::row(S, "MemberList", 0).value(0) == C ? 0 : 1);
        QCOMPARE(Till::texts(S, {"MemberCard", "MemberBalance", "MemberPoints"}), QStringList({C, "0.25", "5"}));
        QCOMPARE(Till::row(S, "HistoryList", 0),
                 QStringList({"2026-12-03", "兑换", "雨伞", "", "30", "0", "30", "收银员乙", ""}));
        QCOMPARE(till.said(), QStringList());

        // Nobody, nothing typed: told, nothing shown.
        Till::enter(S, "FindText", QStringLiteral("王五"));
        Till::enter(S, "FindText", QStringLiteral("  "));
        QCOMPARE(till.said(), QStringList({"找不到卡号、姓名、电话或身份证号为“王五”的会员。",
                                           "请输入要查询的卡号、姓名、电话或身份证号！"}));
        QCOMPARE(Till::text(S, "MemberCard"), QString());

        // The card on the reader: its member, with the reader's beep; a card of nobody, no card at all.
        QVERIFY(till.layCard(B));
        Till::click(S, "ReadCard");
        QCOMPARE(Till::texts(S, {"FindText", "MemberCard", "MemberName"}), QStringList({B, B, "张伟"}));
        QVERIFY(!control<QWidget>("MemberList")->isVisible());
        QCOMPARE(Till::row(S, "HistoryList", 0).mid(0, 4), QStringList({"2026-12-03", "充值", "充值", "20"}));
        QCOMPARE(till.beepsSinceLay(), 1);
        QVERIFY(till.layCard(QStringLiteral("9999999999999")));
        Till::click(S, "ReadCard");
        QCOMPARE(Till::text(S, "MemberCard"), QString());
        till.cards.remove();
        Till::click(S, "ReadCard");
        QCOMPARE(till.said(), QStringList({"此卡不是本店会员卡！", "你可能没有正确放置会员卡，读取会员卡失败！"}));
        QCOMPARE(till.beepsSinceLay(), 0);

        // The member as the page shows it, in a file.
        Till::enter(S, "FindText", A);
        QTemporaryDir folder;
        const QStringList lines = exported(till, folder.filePath(QStringLiteral("history.csv")));
        QCOMPARE(lines.mid(0, 4), QStringList({"卡号,姓名,联系电话,身份证号,余额,积分,开卡日期,联系地址",
                                               A + ",张三,13800000001,ID" + A + ",150.5,40,2026-12-01,地址张三",
                                               "日期,业务,内容,金额,积分,累计充值,累计兑换积分,操作员,备注",
                                               "2026-12-01,充值,充值,50.5,,50.5,0,收银员乙,"}));
        QCOMPARE(lines.value(6), QStringLiteral("昨天,充值,充值,20,,170.5,30,收银员甲,日期无法识别"));
        QCOMPARE(till.messages.offeredFiles(),
                 QStringList(QStringLiteral("会员历史-%1.csv").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")))));
        QCOMPARE(till.said(), QStringList(QStringLiteral("已导出到“%1”。").arg(folder.filePath(QStringLiteral("history.csv")))));

        Till::press(S, "退出");
        Till::settle();
        QVERIFY(!Till::loaded(S));
        QVERIFY(!till.module().sharedConnection().isOpen());
        QCOMPARE(till.module().readerPort().handle(), -1);
    }

    void dayReportLiabilityAuditAndChartCountWhatTheTablesHold()
    {
        Till till;
        fillBooks(till.database);
        Till::open("zmcx");
        QTemporaryDir folder;

        // Nothing asked for yet: nothing to export, and no file is asked for.
        openPage(QStringLiteral("日报"));
        Till::press(S, "导出");
        QCOMPARE(till.said(), QStringList({"“日报”页还没有内容可以导出，请先查询或统计。"}));
        QVERIFY(till.messages.offeredFiles().isEmpty());

        setDates("DateFrom", QDate(2026, 12, 1), "DateTo", QDate(2026, 12, 3));
        Till::click(S, "Report");
        QCOMPARE(Till::rows(S, "TopUpsByOperator"), 3);
        QCOMPARE(Till::row(S, "TopUpsByOperator", 2), QStringList({"合计", "3", "170.5"}));
        QStringList operators = {Till::row(S, "TopUpsByOperator", 0).join(u'|'), Till::row(S, "TopUpsByOperator", 1).join(u'|')};
        operators.sort();
        QCOMPARE(operators, QStringList({"收银员乙|1|50.5", "收银员甲|2|120"}));
        QCOMPARE(Till::rows(S, "RedemptionsByGift"), 2);
        QCOMPARE(Till::row(S, "RedemptionsByGift", 0), QStringList({"雨伞", "2", "60"}));
        QCOMPARE(Till::row(S, "RedemptionsByGift", 1), QStringList({"合计", "2", "60"}));
        QCOMPARE(Till::rows(S, "ReportUnreadable"), 1);
        QCOMPARE(Till::row(S, "ReportUnreadable", 0), QStringList({"充值", "昨天", A, "20", "收银员甲"}));
        const QStringList report = exported(till, folder.filePath(QStringLiteral("day.csv")));
        QVERIFY2(report.contains(QStringLiteral("合计,3,170.5")) && report.contains(QStringLiteral("雨伞,2,60"))
                     && report.contains(QStringLiteral("充值,昨天,") + A + QStringLiteral(",20,收银员甲")),
                 qPrintable(report.join(u'\n')));
        till.said();

        // The chart draws the report's days, a point each, a day without top-ups at zero.
        openPage(QStringLiteral("充值趋势"));
        QCOMPARE(chartPoints(), QStringList({"0=50.5", "1=0", "2=120"}));
        openPage(QStringLiteral("日报"));
        setDates("DateFrom", QDate(2026, 11, 25), "DateTo", QDate(2026, 12, 4));
        openPage(QStringLiteral("充值趋势"));
        QCOMPARE(chartPoints().size(), 10);
        const QStringList trend = exported(till, folder.filePath(QStringLiteral("trend.csv")));
        const qsizetype days = trend.indexOf(QStringLiteral("日期,笔数,金额")) + 1;
        QCOMPARE(trend.mid(days).size(), 10);
        QCOMPARE(trend.value(days + 6), QStringLiteral("2026-12-01,1,50.5"));
        till.said();

        // Days that cannot be counted: told, the chart and the report stay as they were.
        openPage(QStringLiteral("日报"));
        setDates("DateFrom", QDate(2026, 12, 3), "DateTo", QDate(2026, 12, 1));
        Till::click(S, "Report");
        setDates("DateFrom", QDate(1990, 1, 1), "DateTo", QDate(2026, 12, 1));
        openPage(QStringLiteral("充值趋势"));
        QCOMPARE(chartPoints().size(), 10);
        QCOMPARE(Till::row(S, "TopUpsByOperator", 2), QStringList({"合计", "3", "170.5"}));
        const QStringList said = till.said();
        QCOMPARE(said.value(0), QStringLiteral("开始日期 2026-12-03 晚于结束日期 2026-12-01，请重新选择日期！"));
        QVERIFY2(said.size() == 2 && said[1].startsWith(QStringLiteral("趋势图一次最多画 3660 天")), qPrintable(said.join(u'\n')));

        // What the shop owes, read when the page opens; C's number is both a member's and a lost card's.
        openPage(QStringLiteral("储值负债"));
        QCOMPARE(Till::texts(S, {"LiabilityMembers", "LiabilityBalances", "LiabilityPoints", "LiabilityLostCards",
                                 "LiabilityLostBalances", "LiabilityUnreadable"}),
                 QStringList({"3", "170.75", "45", "1", "0.25", "0"}));
        till.database.exec(QStringLiteral("UPDATE kelm SET 余额 = 1000 WHERE 卡号 = '%1'").arg(B));
        Till::click(S, "LiabilityRefresh");
        QCOMPARE(Till::text(S, "LiabilityBalances"), QStringLiteral("1150.75"));


        // The audit, newest first, by card, by operator and by days.
        openPage(QStringLiteral("操作记录"));
        QAbstractItemModelTester tester(Till::list(S, "AuditList"), QAbstractItemModelTester::FailureReportingMode::QtTest);
        Till::click(S, "AuditFind");
        QCOMPARE(Till::rows(S, "AuditList"), 3);
        QCOMPARE(Till::row(S, "AuditList", 2),
                 QStringList({"2026-12-01 09:00:00", "前台1", "收银员乙", A, "充值", "0", "50.5", "充值 50.5 元"}));
        Till::type(S, "AuditCard", A);
        Till::click(S, "AuditFind");
        QCOMPARE(Till::rows(S, "AuditList"), 2);
        QCOMPARE(Till::row(S, "AuditList", 0).value(0), QStringLiteral("2026-12-03 10:00:00"));
        Till::type(S, "AuditCard", QString());
        Till::type(S, "AuditOperator", QStringLiteral("收银员甲"));
        control<QAbstractButton>("AuditByDate")->click();
        setDates("AuditFrom", QDate(2026, 12, 3), "AuditTo", QDate(2026, 12, 3));
        Till::click(S, "AuditFind");
        QCOMPARE(Till::rows(S, "AuditList"), 2);
        Till::type(S, "AuditOperator", QString());
        setDates("AuditFrom", QDate(2026, 12, 1), "AuditTo", QDate(2026, 12, 2));
        Till::click(S, "AuditFind");
        QCOMPARE(Till::rows(S, "AuditList"), 1);
        QCOMPARE(label("AuditCount"), QStringLiteral("共 1 条记录，最新的在最上面。"));
        const QStringList audit = exported(till, folder.filePath(QStringLiteral("audit.csv")));
        QCOMPARE(audit, QStringList({"时间,收银机,操作员,卡号,操作,原值,新值,说明",
                                     "2026-12-01 09:00:00,前台1,收银员乙," + A + ",充值,0,50.5,充值 50.5 元"}));
        QCOMPARE(till.messages.offeredFiles().size(), 3);
        Till::window(S)->close();
    }

    void failuresAreToldAndLeaveTheScreenAndTheFilesUsable()
    {
        Till till;
        fillBooks(till.database);
        Till::open("zmcx");
        openPage(QStringLiteral("日报"));
        setDates("DateFrom", QDate(2026, 12, 1), "DateTo", QDate(2026, 12, 3));
        Till::click(S, "Report");
        till.said();

        // The line breaks: each command says why, the page keeps what it showed, and works once mended.
        till.faults.breakAfter(0);
        Till::click(S, "Report");
        openPage(QStringLiteral("储值负债"));
        openPage(QStringLiteral("会员历史"));
        Till::enter(S, "FindText", A);
        const QStringList said = till.said();
        QCOMPARE(said.size(), 3);
        for (const QString& text : said)
            QVERIFY2(text.startsWith(QStringLiteral("数据库连接已断开")), qPrintable(text));
        QCOMPARE(Till::text(S, "MemberCard"), QString());
        till.faults.mend();
        Till::enter(S, "FindText", A);
        QCOMPARE(Till::text(S, "MemberCard"), A);
        openPage(QStringLiteral("日报"));
        QCOMPARE(Till::row(S, "TopUpsByOperator", 2), QStringList({"合计", "3", "170.5"}));
        QCOMPARE(till.said(), QStringList());

        // A file that cannot be written, a dialog cancelled: told or nothing, no file and no half file;
        // a file already there stays as it was.
        QTemporaryDir folder;
        const QString gone = folder.filePath(QStringLiteral("no-such-folder/day.csv"));
        till.messages.chooseFile(gone);
        Till::press(S, "导出");
        QVERIFY(!QFile::exists(gone));
        QCOMPARE(till.said().value(0).section(u'：', 0, 0), QStringLiteral("无法写入文件“%1”").arg(gone));
        Till::press(S, "导出"); // no path chosen: the owner cancelled
        QCOMPARE(till.said(), QStringList());
        QVERIFY(QDir(folder.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());

        Till::press(S, "退出");
        Till::settle();
        // A database that is not there: the host hears why, and no screen is left.
        till.database.writeConfig(QStringLiteral("[config]\n数据库名称=missing.db\n"));
        try {
            Class1().zmcx(true);
            QFAIL("no error");
        } catch (const Error& error) {
            QVERIFY2(QString::fromUtf8(error.what()).contains(QStringLiteral("missing.db")), error.what());
        }
        QVERIFY(!Till::loaded(S));
    }
};

QTEST_MAIN(AccountsScreenTest)
#include "AccountsScreenTest.moc"
