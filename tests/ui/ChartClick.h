#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QPointF>
#include <QWidget>

namespace vantrel::test {

// A left-button press and release at `local`, as the user clicks a chart.
inline void clickAt(QWidget& widget, const QPointF& local) {
    const QPointF global = widget.mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&widget, &release);
}

}  // namespace vantrel::test
