// The settings dialogs of the standard compression component, as Qt dialogs.
#include <QuickTime/FixMath.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSlider>
#include <QThread>

#include <algorithm>

#include "StandardCompressionInternal.h"

namespace lumora::qt {

namespace {

const CodecEncoder *SelectedCodec(const QComboBox &popUp) {
    return FindCodecEncoder(CodecType(popUp.currentData().toUInt()));
}

// Holds the slider inside the quality range of the chosen compressor.
void LimitQuality(QSlider &slider, const CodecEncoder *codec) {
    if (codec == nullptr) return;
    slider.setRange(int(codec->minQuality), int(codec->maxQuality));
}

}  // namespace

ComponentResult RunStandardCompressionDialog(StandardCompressionInstance &instance, bool sequence) {
    auto *application = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (application == nullptr || QThread::currentThread() != application->thread()) return paramErr;
    const std::vector<const CodecEncoder *> offered = OfferedCodecEncoders(instance);
    if (offered.empty()) return paramErr;

    QDialog dialog;
    dialog.setObjectName("StandardCompressionDialog");
    dialog.setWindowTitle(sequence ? QStringLiteral("Compression Settings")
                                   : QStringLiteral("Image Compression Settings"));
    auto *form = new QFormLayout(&dialog);

    auto *popUp = new QComboBox(&dialog);
    popUp->setObjectName("codecPopUp");
    for (const CodecEncoder *codec : offered) popUp->addItem(QString::fromUtf8(codec->typeName), uint(codec->type));
    form->addRow(QStringLiteral("Compression type:"), popUp);

    auto *quality = new QSlider(Qt::Horizontal, &dialog);
    quality->setObjectName("qualitySlider");
    form->addRow(QStringLiteral("Quality:"), quality);

    QDoubleSpinBox *frameRate = nullptr;
    if (sequence) {
        frameRate = new QDoubleSpinBox(&dialog);
        frameRate->setObjectName("frameRateField");
        frameRate->setDecimals(2);
        frameRate->setRange(0.01, 1000.0);
        frameRate->setValue(Fix2X(instance.mTemporal.frameRate));
        form->addRow(QStringLiteral("Frames per second:"), frameRate);
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->setObjectName("buttons");
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    const int current = popUp->findData(uint(instance.mSpatial.codecType));
    popUp->setCurrentIndex(std::max(current, 0));
    LimitQuality(*quality, SelectedCodec(*popUp));
    quality->setValue(int(std::min<CodecQ>(instance.mSpatial.spatialQuality, codecLosslessQuality)));
    QObject::connect(popUp, &QComboBox::currentIndexChanged, quality,
                     [popUp, quality] { LimitQuality(*quality, SelectedCodec(*popUp)); });

    if (dialog.exec() != QDialog::Accepted) return scUserCancelled;

    const CodecEncoder *codec = SelectedCodec(*popUp);
    if (codec == nullptr) return scUserCancelled;
    SCSpatialSettings spatial = instance.mSpatial;
    spatial.codecType = codec->type;
    spatial.spatialQuality = CodecQ(quality->value());
    SCTemporalSettings temporal = instance.mTemporal;
    temporal.temporalQuality = CodecQ(quality->value());
    if (frameRate != nullptr) temporal.frameRate = X2Fix(frameRate->value());
    if (!ValidSpatialValues(spatial) || !ValidTemporalSettings(temporal)) return paramErr;
    instance.mSpatial = spatial;
    instance.mTemporal = temporal;
    return noErr;
}

}  // namespace lumora::qt
