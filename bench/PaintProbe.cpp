#include "PaintProbe.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QWidget>

namespace kelm {

PaintProbe::PaintProbe(QWidget* watched)
    : QObject(watched)
{
    watched->installEventFilter(this);
}

bool PaintProbe::waitForPaint(int timeoutMilliseconds)
{
    // The paint event arrives before the widget paints; processEvents returns after it painted.
    const QDeadlineTimer deadline(timeoutMilliseconds);
    while (!m_painted && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return m_painted;
}

bool PaintProbe::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint)
        m_painted = true;
    return QObject::eventFilter(watched, event);
}

} // namespace kelm
