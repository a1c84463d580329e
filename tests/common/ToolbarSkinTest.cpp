// The tiled toolbar background: one live brush for the whole process, whatever loads it.
#include "common/ToolbarSkin.h"

#include <QApplication>
#include <QTest>
#include <QToolBar>

using namespace kelm;

class ToolbarSkinTest : public QObject
{
    Q_OBJECT

private slots:
    void eachLoadReplacesTheBrushOnlyOneLivesAndModeTwoFindsTheToolbar()
    {
        QWidget screen;
        auto* toolbar = new QToolBar(&screen);
        ToolbarSkin::paintToolbarBackground(toolbar, ToolbarSkin::picture());
        QVERIFY(ToolbarSkin::installedBrush("QToolBar"));
        QCOMPARE(PatternBrush::liveCount(), 1);
        ToolbarSkin::paintToolbarBackground(toolbar, ToolbarSkin::picture());
        QCOMPARE(PatternBrush::liveCount(), 1);
        QVERIFY(ToolbarSkin::installedBrush("QToolBar") != nullptr);
        // Every toolbar of the process paints with it, also one made afterwards.
        QToolBar later;
        later.ensurePolished();
        QCOMPARE(later.palette().brush(later.backgroundRole()).texture().size(), QSize(160, 12));
        // A button under the mouse is drawn in the brush's colour: the picture's light tone, not black
        // behind a black caption.
        QVERIFY(later.palette().button().color().lightness() > 180);

        // Mode 2 finds the screen's toolbar; other modes do nothing.
        const PatternBrush* installed = ToolbarSkin::installedBrush("QToolBar");
        for (int mode : {0, 3, -1}) {
            ToolbarSkin::SetToolbarBrush(&screen, std::make_unique<PatternBrush>(ToolbarSkin::picture()), mode);
            QCOMPARE(PatternBrush::liveCount(), 1);
            QCOMPARE(ToolbarSkin::installedBrush("QToolBar"), installed);
        }
        QCOMPARE(ToolbarSkin::installedBrush("QWidget"), nullptr);
        ToolbarSkin::SetToolbarBrush(&screen, std::make_unique<PatternBrush>(ToolbarSkin::picture()), 2);
        QVERIFY(ToolbarSkin::installedBrush("QToolBar") != installed);
        QCOMPARE(ToolbarSkin::installedBrush("QWidget"), nullptr);
        QCOMPARE(PatternBrush::liveCount(), 1);
    }
};

QTEST_MAIN(ToolbarSkinTest)
#include "ToolbarSkinTest.moc"
