#include <AppKit/NSWindow.h>

#include <Foundation/NSUserDefaults.h>

#include <QRect>
#include <QStringList>
#include <QWidget>

namespace NSWindow {

QString stringWithSavedFrame(const QWidget *window) {
    if (window == nullptr) return QString();
    const QRect frame = window->geometry();
    return QStringLiteral("%1 %2 %3 %4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
}

QRect frameFromString(const QString &text) {
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4) return {};
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).toInt(&ok);
        if (!ok) return {};
    }
    constexpr int kLargest = 10000;
    if (values[2] <= 0 || values[3] <= 0 || values[2] > kLargest || values[3] > kLargest) return {};
    return {values[0], values[1], values[2], values[3]};
}

bool setFrameFromString(QWidget *window, const QString &text) {
    const QRect frame = frameFromString(text);
    if (window == nullptr || frame.isEmpty()) return false;
    window->setGeometry(frame);
    return true;
}

void saveFrameUsingName(const QWidget *window, const QString &key) {
    if (window == nullptr || key.isEmpty() || !window->testAttribute(Qt::WA_WState_Created)) return;
    NSUserDefaults::standardUserDefaults().setObject(stringWithSavedFrame(window), key);
}

bool setFrameUsingName(QWidget *window, const QString &key) {
    return !key.isEmpty() && setFrameFromString(window, NSUserDefaults::standardUserDefaults().stringForKey(key));
}

}  // namespace NSWindow
