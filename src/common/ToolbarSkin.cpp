#include "common/ToolbarSkin.h"

#include <QApplication>
#include <QByteArray>
#include <QImage>
#include <QPalette>
#include <QToolBar>
#include <QWidget>

#include <map>

// Q_INIT_RESOURCE names a function of the global namespace.
static void registerSkinResource()
{
    Q_INIT_RESOURCE(skin);
}

namespace kelm {

namespace {

int g_liveBrushes = 0;

// One installed brush per widget class, like a window class's background brush.
std::map<QByteArray, std::unique_ptr<PatternBrush>>& installed()
{
    static std::map<QByteArray, std::unique_ptr<PatternBrush>> brushes;
    return brushes;
}

// The pictures behind the brushes must go while the application object still exists.
void freeInstalledBrushes()
{
    installed().clear();
}

// Styles fill what they cannot tile with the brush's colour: a toolbar button under the mouse is
// drawn raised in it, its caption in the button text colour. A picture alone would leave the colour
// black, and the caption black on black.
QColor averageColour(const QPixmap& picture)
{
    if (picture.isNull())
        return QApplication::palette().color(QPalette::Button);
    return picture.toImage().scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
}

void install(QWidget* window, std::unique_ptr<PatternBrush> brush)
{
    const QByteArray className = window->metaObject()->className();
    QPalette palette = QApplication::palette(className.constData());
    // A toolbar paints its background in the button role, other widgets in the window role.
    palette.setBrush(window->backgroundRole(), brush->brush());
    QApplication::setPalette(palette, className.constData());
    if (installed().empty())
        qAddPostRoutine(freeInstalledBrushes);
    // The previous brush is freed here, when it is replaced.
    installed()[className] = std::move(brush);
}

} // namespace

PatternBrush::PatternBrush(const QPixmap& picture)
    : m_brush(averageColour(picture), picture)
{
    ++g_liveBrushes;
}

PatternBrush::~PatternBrush()
{
    --g_liveBrushes;
}

int PatternBrush::liveCount()
{
    return g_liveBrushes;
}

namespace ToolbarSkin {

QPixmap picture()
{
    // The picture is built into the screens; a program that links them statically keeps it only
    // when asked for by name.
    static const bool registered = [] {
        registerSkinResource();
        return true;
    }();
    Q_UNUSED(registered);
    return QPixmap(QStringLiteral(":/kelm/toolbar.jpg"));
}

void SetToolbarBrush(QWidget* control, std::unique_ptr<PatternBrush> brush, int mode)
{
    if (!control || !brush)
        return;
    if (mode == 1) {
        install(control, std::move(brush));
    } else if (mode == 2) {
        if (auto* toolbar = control->findChild<QToolBar*>(QString(), Qt::FindDirectChildrenOnly))
            install(toolbar, std::move(brush));
    }
}

const PatternBrush* installedBrush(const char* className)
{
    const auto it = installed().find(QByteArray(className));
    return it == installed().end() ? nullptr : it->second.get();
}

void paintToolbarBackground(QWidget* toolbar, const QPixmap& picture)
{
    SetToolbarBrush(toolbar, std::make_unique<PatternBrush>(picture), 1);
    for (QWidget* window : QApplication::topLevelWidgets())
        window->update();
}

} // namespace ToolbarSkin
} // namespace kelm
