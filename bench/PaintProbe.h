#pragma once

#include <QObject>

namespace kelm {

// Watches a widget for its paint events, so a benchmark can stop its clock when the list has
// been drawn for the first time.
class PaintProbe : public QObject
{
public:
    explicit PaintProbe(QWidget* watched);

    // Handles events until the widget has been painted; false when that did not happen in time.
    bool waitForPaint(int timeoutMilliseconds = 60000);
    void reset() { m_painted = false; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_painted = false;
};

} // namespace kelm
