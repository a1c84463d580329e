#include "points/Form5.h"

#include "common/Blanks.h"
#include "common/CompactTableModel.h"
#include "common/GiftTable.h"
#include "entry/Module1.h"
#include "common/NumberText.h"
#include "common/ReportListView.h"

#include <QAction>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLineEdit>

namespace kelm {

namespace {

// A gift as the audit keeps it.
QString describe(const GiftTable::Record& gift)
{
    return QStringLiteral("名称 %1；数量 %2；积分 %3").arg(gift.name, gift.quantityText, gift.pointsText);
}

} // namespace

const QStringList Form5::Commands = {
    QStringLiteral("增加"), QStringLiteral("修改"), QStringLiteral("删除"), QStringLiteral("保存"), QStringLiteral("退出"),
};

Form5::Form5(ScreenRegistry& registry)
    : TopLevelScreen(registry, QStringLiteral("Form5"), QStringLiteral("礼品管理"), QSize(9600, 7200))
    , m_frame(new QGroupBox(this))
{
    const QStyle::StandardPixmap icons[] = {
        QStyle::SP_FileIcon,         QStyle::SP_FileDialogDetailedView, QStyle::SP_TrashIcon,
        QStyle::SP_DialogSaveButton, QStyle::SP_DialogCloseButton,
    };
    for (int i = 0; i < Commands.size(); ++i)
        addCommand(Commands[i], icons[i]);
    // Edit and delete wait for a gift to be clicked, save for a command to prepare a change.
    setButtonsEnabled({2, 3, 4}, false);

    m_frame->setObjectName(QStringLiteral("Frame2"));
    m_frame->setGeometry(twips(120), twips(960), twips(9360), twips(960));
    m_name = addTextBox(m_frame, QStringLiteral("Text1"), QStringLiteral("名称"), 1440, 300, 2400);
    m_quantity = addTextBox(m_frame, QStringLiteral("Text2"), QStringLiteral("数量"), 5280, 300, 1200);
    m_points = addTextBox(m_frame, QStringLiteral("Text3"), QStringLiteral("积分"), 7920, 300, 1200);
    m_name->setMaxLength(GiftTable::NameWidth);
    setBoxesEnabled(false);

    m_list = new ReportListView(this);
    m_list->setGeometry(twips(120), twips(2040), twips(9360), twips(5040));
    m_model = new CompactTableModel(
        {QStringLiteral("序号"), QStringLiteral("名称"), QStringLiteral("积分"), QStringLiteral("数量")},
        {"名称", "积分", "数量"}, this);
    m_list->setModel(m_model);
    connect(m_list, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { runHandler([&] { itemClick(index); }); });
}

QAction* Form5::button(int position) const
{
    return command(Commands[position - 1]);
}

void Form5::load()
{
    m_entryMode = Nothing;
    paintToolbarBackground();
    loadSettingsAndConnect();
    m_list->setColumnDivisors({15, 5, 10, 7});
    fillGiftList();
}

void Form5::fillGiftList()
{
    Database& db = module().database();
    m_model->fill([&](const RowHandler& onRow) { GiftTable::selectAll(db, onRow); });
}

void Form5::runCommand(const QString& key)
{
    runHandler([&] {
        switch (Commands.indexOf(key)) {
        case 0:
            addGift();
            break;
        case 1:
            editGift();
            break;
        case 2:
            deleteGift();
            break;
        case 3:
            save();
            break;
        case 4:
            // The connection stays open, and the hidden points screen waits for the host.
            unload();
            break;
        default:
            break;
        }
    });
}

void Form5::setBoxesEnabled(bool enabled)
{
    for (QLineEdit* box : {m_name, m_quantity, m_points})
        box->setEnabled(enabled);
}

void Form5::setButtonsEnabled(std::initializer_list<int> positions, bool enabled)
{
    for (int position : positions)
        button(position)->setEnabled(enabled);
}

void Form5::itemClick(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    // The clicked row itself is read, so a row taken out above it by a pending delete does not matter.
    const int row = index.row();
    const QString name = m_model->text(row, 1);
    const std::optional<qint64> id = GiftTable::selectIdByName(module().database(), trimBlanks(name));
    if (!id) {
        // Renamed or deleted elsewhere since the list was read: nothing is selected, so edit and
        // delete cannot reach another gift or none.
        m_selectedId = 0;
        m_selectedRow = 0;
        m_list->clearSelection();
        setButtonsEnabled({2, 3}, false);
        module().messages().inform(
            QStringLiteral("礼品“%1”已不在礼品表中（可能已被改名或删除），请点击“保存”刷新列表。").arg(name));
        return;
    }
    m_name->setText(name);
    m_quantity->setText(m_model->text(row, 3));
    m_points->setText(m_model->text(row, 2));
    m_selectedId = *id;
    m_selectedRow = m_model->runningNumber(row);
    setButtonsEnabled({2, 3}, true);
}

void Form5::addGift()
{
    // A change that replaces a pending delete brings its row back into the list.
    m_model->restoreRows();
    setBoxesEnabled(true);
    setButtonsEnabled({4}, true);
    setButtonsEnabled({1}, false);
    m_entryMode = Adding;
    m_name->setFocus();
}

void Form5::editGift()
{
    m_model->restoreRows();
    setBoxesEnabled(true);
    setButtonsEnabled({4}, true);
    setButtonsEnabled({1, 2}, false);
    m_entryMode = Editing;
}

void Form5::deleteGift()
{
    MessageBoxService& messages = module().messages();
    if (m_selectedId == 0) {
        messages.inform(QStringLiteral("请选择要删除的商品！"));
        return;
    }
    if (!messages.confirm(QStringLiteral("你真的确定删除选定的礼品吗？")))
        return;
    m_model->restoreRows();
    m_model->takeRow(m_model->rowOfRunningNumber(m_selectedRow));
    m_name->clear();
    m_quantity->clear();
    m_points->clear();
    setButtonsEnabled({4}, true);
    setButtonsEnabled({1, 2, 3}, false);
    m_entryMode = Deleting;
}

bool Form5::nameTaken(std::optional<qint64> ownId)
{
    // The name is stored trimmed, so the trimmed texts are compared: a cashier who types "雨伞 "
    // means the gift "雨伞", and two gifts under one name would share every statement that finds a
    // gift by its name (the stock update of a redemption among them).
    return GiftTable::nameTaken(module().database(), trimBlanks(m_name->text()), ownId);
}

bool Form5::numbersValid()
{
    // The points screen redeems with these as numbers, so a text that is no number would only
    // fail later, at the till.
    const std::pair<QLineEdit*, QString> boxes[] = {{m_quantity, QStringLiteral("数量")},
                                                    {m_points, QStringLiteral("积分")}};
    for (const auto& [box, label] : boxes) {
        if (!NumberText::parse(box->text())) {
            module().messages().inform(QStringLiteral("%1“%2”不是数字，请重新输入").arg(label, box->text()));
            box->setFocus();
            return false;
        }
    }
    return true;
}

void Form5::save()
{
    // A box holding only blanks counts as filled; the statements store the texts trimmed.
    const bool filled = !m_name->text().isEmpty() && !m_quantity->text().isEmpty() && !m_points->text().isEmpty();
    const GiftTable::Record gift{trimBlanks(m_name->text()), trimBlanks(m_quantity->text()),
                                 trimBlanks(m_points->text())};
    Database& db = module().database();
    MessageBoxService& messages = module().messages();
    // A refused name or number ends the command here: the change stays pending with its boxes, for
    // the cashier to correct and save again.
    const QString repeated = QStringLiteral("名称不能重复，请重新输入");
    // Each change is written with its audit row, or not at all.
    switch (m_entryMode) {
    case Adding:
        if (filled) {
            if (nameTaken(std::nullopt)) {
                messages.inform(repeated);
                return;
            }
            if (!numbersValid())
                return;
            Transaction transaction(db);
            GiftTable::insert(db, gift);
            module().audit().record(db, {QStringLiteral("礼品添加"), {}, {}, describe(gift), {}});
            transaction.commit();
            messages.inform(QStringLiteral("添加成功"));
        }
        break;
    case Editing:
        if (nameTaken(m_selectedId)) {
            messages.inform(repeated);
            return;
        }
        if (filled) {
            if (!numbersValid())
                return;
            Transaction transaction(db);
            const std::optional<GiftTable::Record> before = GiftTable::selectById(db, m_selectedId);
            if (!before || GiftTable::update(db, m_selectedId, gift) == 0) {
                messages.inform(QStringLiteral("要修改的礼品已不在礼品表中（可能已被删除），修改没有保存。"));
                break;
            }
            module().audit().record(db, {QStringLiteral("礼品修改"), {}, describe(*before), describe(gift), {}});
            transaction.commit();
            messages.inform(QStringLiteral("修改成功"));
        }
        break;
    case Deleting: {
        Transaction transaction(db);
        const std::optional<GiftTable::Record> before = GiftTable::selectById(db, m_selectedId);
        if (!before || GiftTable::remove(db, m_selectedId) == 0) {
            messages.inform(QStringLiteral("要删除的礼品已不在礼品表中（可能已被删除）。"));
            break;
        }
        module().audit().record(db, {QStringLiteral("礼品删除"), {}, describe(*before), {}, {}});
        transaction.commit();
        messages.inform(QStringLiteral("删除成功"));
        break;
    }
    default:
        break;
    }
    reset();
}

void Form5::reset()
{
    setBoxesEnabled(false);
    m_name->clear();
    m_quantity->clear();
    m_points->clear();
    setButtonsEnabled({4, 3}, false);
    setButtonsEnabled({1}, true);
    fillGiftList();
    m_entryMode = Nothing;
    m_selectedId = 0;
    m_selectedRow = 0;
}

} // namespace kelm
