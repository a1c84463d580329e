#pragma once

#include <QBrush>
#include <QPixmap>

#include <memory>

class QWidget;

namespace kelm {

// A brush that tiles a picture. Counted, so that tests can see that only one is ever alive.
class PatternBrush
{
public:
    explicit PatternBrush(const QPixmap& picture);
    ~PatternBrush();
    PatternBrush(const PatternBrush&) = delete;
    PatternBrush& operator=(const PatternBrush&) = delete;

    const QBrush& brush() const { return m_brush; }
    static int liveCount();

private:
    QBrush m_brush;
};

namespace ToolbarSkin {

// The 160 x 12 picture the three top-level screens tile behind their toolbars.
QPixmap picture();

// Installs brush as the background of every widget of a class, for the whole process:
// mode 1 the class of control itself, mode 2 the class of control's first child toolbar; any
// other mode does nothing. The brush then belongs to that class; the one installed before is freed.
void SetToolbarBrush(QWidget* control, std::unique_ptr<PatternBrush> brush, int mode);

// The brush installed for a class, or null.
const PatternBrush* installedBrush(const char* className);

// A screen's background step: tiles picture behind toolbar (mode 1) and repaints every window.
void paintToolbarBackground(QWidget* toolbar, const QPixmap& picture);

} // namespace ToolbarSkin
} // namespace kelm
