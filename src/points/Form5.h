#pragma once

#include "entry/TopLevelScreen.h"

#include <cstdint>
#include <initializer_list>
#include <optional>

class QGroupBox;
class QLineEdit;
class QModelIndex;

namespace kelm {

class CompactTableModel;
class ReportListView;

// The gift catalogue "礼品管理": the gifts, and the commands to add, change and delete them. Add,
// edit and delete only prepare a change; save carries it out.
class Form5 : public TopLevelScreen
{
    Q_OBJECT

public:
    explicit Form5(ScreenRegistry& registry);

    // The five commands, in button order.
    static const QStringList Commands;

    enum EntryMode : std::int16_t { Nothing = 0, Adding = 1, Editing = 2, Deleting = 3 };
    EntryMode entryMode() const { return static_cast<EntryMode>(m_entryMode); }
    // The id of the gift clicked last; 0 when none is selected.
    qint64 selectedGiftId() const { return m_selectedId; }

protected:
    void load() override;
    void runCommand(const QString& key) override;

private:
    void fillGiftList();
    void itemClick(const QModelIndex& index);
    void addGift();
    void editGift();
    void deleteGift();
    void save();
    // True when a gift other than ownId already has the name in the name box.
    bool nameTaken(std::optional<qint64> ownId);
    // True when quantity and points are numbers; says which is not, otherwise.
    bool numbersValid();
    void reset();
    void setBoxesEnabled(bool enabled);
    void setButtonsEnabled(std::initializer_list<int> positions, bool enabled);
    QAction* button(int position) const; // 1-based, in button order

    QGroupBox* m_frame;   // Frame2
    QLineEdit* m_name;    // Text1
    QLineEdit* m_quantity; // Text2
    QLineEdit* m_points;  // Text3
    ReportListView* m_list;
    CompactTableModel* m_model;

    std::int16_t m_entryMode = Nothing;
    // Gift ids are assigned by the database and keep growing, so they are held in 64 bits.
    qint64 m_selectedId = 0;
    // The running number of the row clicked last, to find it again when it is taken out.
    int m_selectedRow = 0;
};

} // namespace kelm
