#include "members/FindBar.h"

#include "common/CompactTableModel.h"
#include "common/ReportListView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace kelm {

FindBar::FindBar(ReportListView* list, std::vector<int> columns, QWidget* parent)
    : QWidget(parent)
    , m_list(list)
    , m_columns(std::move(columns))
    , m_text(new QLineEdit(this))
    , m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("FindBar"));
    m_text->setObjectName(QStringLiteral("FindText"));
    m_text->setPlaceholderText(QStringLiteral("卡号、姓名、电话或身份证号"));
    m_status->setObjectName(QStringLiteral("FindStatus"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(new QLabel(QStringLiteral("查找："), this));
    layout->addWidget(m_text, 1);
    layout->addWidget(m_status, 1);
    hide();

    connect(m_text, &QLineEdit::textEdited, this, [this] {
        // A longer text still fits the row found for the shorter one, so the search stays there.
        const QModelIndex current = m_list->currentIndex();
        search(current.isValid() ? current.row() : 0);
    });
    m_text->installEventFilter(this);
    m_list->installEventFilter(this);
}

CompactTableModel* FindBar::model() const
{
    return m_list->listModel();
}

void FindBar::open(const QString& typed)
{
    if (!isVisible()) {
        show();
        emit shownChanged(true);
    }
    m_text->setFocus();
    if (!typed.isEmpty()) {
        m_text->setText(typed);
        search(0);
    } else {
        m_text->selectAll();
    }
}

void FindBar::close()
{
    if (!isVisible())
        return;
    hide();
    m_status->clear();
    emit shownChanged(false);
    m_list->setFocus();
}

void FindBar::search(int from)
{
    const QString text = m_text->text();
    if (text.isEmpty()) {
        m_status->clear();
        return;
    }
    // The whole list is looked through, so one still filling is read to its end first.
    model()->finishFill();
    const int row = model()->find(text, m_columns, from);
    if (row < 0) {
        m_status->setText(QStringLiteral("没有找到“%1”").arg(text));
        return;
    }
    m_status->clear();
    const QModelIndex index = model()->index(row, 1);
    m_list->setCurrentIndex(index);
    m_list->scrollTo(index);
    emit found(index);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == m_text) {
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F3: {
            const QModelIndex current = m_list->currentIndex();
            search(current.isValid() ? current.row() + 1 : 0);
            return true;
        }
        case Qt::Key_Escape:
            close();
            return true;
        default:
            break;
        }
    } else if (watched == m_list) {
        // A character typed on the list starts a search with it.
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            open(text);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kelm
