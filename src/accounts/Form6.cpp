#include "accounts/Form6.h"

#include "accounts/AuditPage.h"
#include "accounts/DayReportPage.h"
#include "accounts/HistoryPage.h"
#include "accounts/LiabilityPage.h"
#include "accounts/TrendPage.h"
#include "common/Csv.h"
#include "entry/Module1.h"
#include "entry/ScreenRegistry.h"

#include <QDate>
#include <QSaveFile>
#include <QTabWidget>
#include <QToolBar>

namespace kelm {

const QStringList Form6::Commands = {QStringLiteral("导出"), QStringLiteral("退出")};

Form6::Form6(ScreenRegistry& registry)
    : TopLevelScreen(registry, QStringLiteral("Form6"), QStringLiteral("会员账目"), QSize(13500, 9450))
    , m_pages(new QTabWidget(this))
{
    const QStyle::StandardPixmap icons[] = {QStyle::SP_DialogSaveButton, QStyle::SP_DialogCloseButton};
    for (int i = 0; i < Commands.size(); ++i)
        addCommand(Commands[i], icons[i]);

    m_pages->setObjectName(QStringLiteral("Pages"));
    const int top = m_toolbar->geometry().bottom() + 6;
    m_pages->setGeometry(twips(120), top, width() - 2 * twips(120), height() - top - twips(120));

    // A page's command runs as the screen's commands do; its failure is shown and the page stays.
    const AccountsPage::Runner run = [this](const std::function<void()>& command) { runHandler(command); };
    Module1& shared = registry.module();
    auto* dayReport = new DayReportPage(shared, run);
    m_pages->addTab(new HistoryPage(shared, run), QStringLiteral("会员历史"));
    m_pages->addTab(dayReport, QStringLiteral("日报"));
    m_pages->addTab(new LiabilityPage(shared, run), QStringLiteral("储值负债"));
    m_pages->addTab(new AuditPage(shared, run), QStringLiteral("操作记录"));
    m_pages->addTab(new TrendPage(shared, run, [dayReport] { return dayReport->period(); }),
                    QStringLiteral("充值趋势"));
    connect(m_pages, &QTabWidget::currentChanged, this, [this] {
        // Only once the screen is up: the tabs change while it is being built too.
        if (isLoaded())
            currentPage()->opened();
    });
}

void Form6::load()
{
    paintToolbarBackground();
    loadSettingsAndConnect();
}

AccountsPage* Form6::currentPage() const
{
    return static_cast<AccountsPage*>(m_pages->currentWidget());
}

void Form6::runCommand(const QString& key)
{
    runHandler([&] {
        switch (Commands.indexOf(key)) {
        case 0:
            exportPage();
            break;
        case 1:
            unload();
            break;
        default:
            break;
        }
    });
}

void Form6::exportPage()
{
    MessageBoxService& messages = module().messages();
    const AccountsPage* page = currentPage();
    const QList<QStringList> rows = page->exportRows();
    if (rows.isEmpty()) {
        messages.inform(QStringLiteral("“%1”页还没有内容可以导出，请先查询或统计。").arg(m_pages->tabText(m_pages->currentIndex())));
        return;
    }
    const QString path = messages.saveFileName(
        QStringLiteral("导出"),
        QStringLiteral("%1-%2.csv").arg(page->exportName(), QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))),
        QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;

    // The file appears whole or not at all: a file of the same name stays as it was until every row
    // is written, and stays as it was when the disk fills up part way.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        messages.inform(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
        return;
    }
    bool written = false;
    {
        Csv::Writer writer(file);
        for (const QStringList& row : rows)
            writer.writeRow(row);
        written = writer.flush();
    }
    if (!written || !file.commit()) {
        file.cancelWriting();
        messages.inform(QStringLiteral("文件“%1”没有写完（%2），没有导出。").arg(path, file.errorString()));
        return;
    }
    messages.inform(QStringLiteral("已导出到“%1”。").arg(path));
}

void Form6::closeSteps()
{
    module().readerPort().close();
    closeConnection();
}

} // namespace kelm
