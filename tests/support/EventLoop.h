// Running the Qt event loop in window tests: for a time, or until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

// Runs the event loop for the milliseconds given.
inline void Spin(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Runs the event loop until the condition holds or the milliseconds have passed; whether it
// holds.
template <typename Condition>
bool SpinUntil(Condition condition, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < milliseconds) Spin(10);
    return condition();
}
