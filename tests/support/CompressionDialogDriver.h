// Drives the standard compression component's settings dialog in tests: once the dialog is
// shown (under the running QApplication, usually on the offscreen platform), the given step
// runs with it, and the step accepts or rejects it.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QSlider>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace lumora::test {

// The step runs once, on the first tick after the dialog appears. After about 20 s without a
// dialog the timer gives up, so a test that shows no dialog does not wait for it.
inline void WhenCompressionDialogShows(std::function<void(QDialog &)> step) {
    auto *timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, ticks, step] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QDialog *>(widget);
            if (dialog == nullptr || !dialog->isVisible() || dialog->objectName() != "StandardCompressionDialog")
                continue;
            timer->stop();
            timer->deleteLater();
            step(*dialog);
            return;
        }
        if (++*ticks > 2000) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// The names the dialog's compressor pop-up lists, in order.
inline QStringList CompressionDialogCodecNames(QDialog &dialog) {
    QStringList names;
    if (auto *popUp = dialog.findChild<QComboBox *>("codecPopUp"))
        for (int index = 0; index < popUp->count(); ++index) names << popUp->itemText(index);
    return names;
}

// Chooses the compressor of the type (its item data), the quality and, when the dialog has
// one, the frame rate.
inline void ChooseInCompressionDialog(QDialog &dialog, unsigned codecType, int quality, double frameRate) {
    if (auto *popUp = dialog.findChild<QComboBox *>("codecPopUp")) popUp->setCurrentIndex(popUp->findData(codecType));
    if (auto *slider = dialog.findChild<QSlider *>("qualitySlider")) slider->setValue(quality);
    if (auto *field = dialog.findChild<QDoubleSpinBox *>("frameRateField")) field->setValue(frameRate);
}

}  // namespace lumora::test
