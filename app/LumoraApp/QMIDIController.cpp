#include "QMIDIController.h"

#include <dispatch/dispatch.h>

#include <cstdio>

NS_REGISTER_CLASS(QMIDIController);

QMIDIController::QMIDIController(QObject *parent) : NSObject(parent) {}

QMIDIController::~QMIDIController() {
    if (mChannelIn && mChannelIn->delegate() == this) {
        mChannelIn->setDelegate(nullptr);
    }
    if (auto *persistence = qobject_cast<UPersistentObjectsController *>(outletPersistenceController.data())) {
        persistence->unregisterPersistentObject(this);
    }
}

void QMIDIController::setOutletAppController(QObject *controller) {
    disconnect(mAppControllerDestroyed);
    mAppController.store(controller);
    if (controller != nullptr) {
        mAppControllerDestroyed = connect(controller, &QObject::destroyed, this,
                                          [this] { mAppController.store(nullptr); }, Qt::DirectConnection);
    }
}

void QMIDIController::setOutletMIDIChannelInController(QObject *controller) {
    mChannelIn = qobject_cast<UFMIDIChannelInController *>(controller);
}

void QMIDIController::setOutletVerticalFilter(QObject *filter) {
    mVerticalFilter = qobject_cast<NSOGLTexture1DViewNibbler *>(filter);
}

void QMIDIController::setOutletHorizontalFilter(QObject *filter) {
    mHorizontalFilter = qobject_cast<NSOGLTexture1DViewNibbler *>(filter);
}

void QMIDIController::setOutletInterpolationController(QObject *controller) {
    disconnect(mInterpolationDestroyed);
    auto *interpolation = qobject_cast<LumoraInterpolationController *>(controller);
    mInterpolation.store(interpolation);
    if (interpolation != nullptr) {
        mInterpolationDestroyed = connect(interpolation, &QObject::destroyed, this,
                                          [this] { mInterpolation.store(nullptr); }, Qt::DirectConnection);
    }
}

void QMIDIController::awakeFromNib() {
    setMidiVerticalNormal(QPointF(0.5, 0.5));
    setMidiHorizontalNormal(QPointF(0.5, 0.5));
    setMidiEnabled(true);
    setMidiNoteForSnapshot(60);
    setMidiNoteForRecord(62);
    setMidiVerticalControlMessageX(1);
    setMidiVerticalControlMessageY(2);
    setMidiHorizontalControlMessageX(2);
    setMidiHorizontalControlMessageY(3);
    setMidiUserSliderOne(7);
    setMidiUserSliderTwo(6);
    if (mChannelIn) {
        mChannelIn->setDelegate(this);
    }
    if (auto *persistence = qobject_cast<UPersistentObjectsController *>(outletPersistenceController.data())) {
        persistence->registerPersistentObject(this);
    }
}

QSet<QString> QMIDIController::persistentObjectKeyPaths() const {
    return {QStringLiteral("midiEnabled"),
            QStringLiteral("midiNoteForSnapshot"),
            QStringLiteral("midiNoteForRecord"),
            QStringLiteral("midiUserSliderOne"),
            QStringLiteral("midiUserSliderTwo"),
            QStringLiteral("midiVerticalControlMessageX"),
            QStringLiteral("midiVerticalControlMessageY"),
            QStringLiteral("midiHorizontalControlMessageX"),
            QStringLiteral("midiHorizontalControlMessageY"),
            QStringLiteral("outletMIDIChannelInController.listenChannel")};
}

void QMIDIController::midiChannelInNoteEvent(UFMIDIChannelInController *, const tagUFMIDINote *note) {
    QObject *appController = mAppController.load();
    if (appController == nullptr || !midiEnabled() || note == nullptr || !note->noteOn) {
        return;
    }
    const int value = note->noteValue;
    if (value != midiNoteForSnapshot() && value != midiNoteForRecord()) {
        return;
    }
    if (!::respondsToSelector(appController, "snapShotDefaults")) {
        return;
    }
    try {
        ::performSelectorOnMainThread(appController, "snapShotDefaults", QVariant::fromValue<QObject *>(this), false);
    } catch (const NSException &exception) {
        std::fprintf(stderr, "QMIDIController::midiChannelInNoteEvent exception:%s\n",
                     exception.reason().toUtf8().constData());
    }
}

void QMIDIController::midiChannelInControlChange(UFMIDIChannelInController *, const tagUFMIDIControlChange *control) {
    if (!midiEnabled() || control == nullptr) {
        return;
    }
    const uint number = control->controlMessage;
    const float value = float(control->controlValue) / 127.0f;
    if (number == midiUserSliderOne()) {
        if (LumoraInterpolationController *interpolation = mInterpolation.load()) {
            interpolation->setInputEffectAmountNormal(value);
        }
    }
    if (number == midiUserSliderTwo()) {
        if (LumoraInterpolationController *interpolation = mInterpolation.load()) {
            interpolation->setInputEffectParameterNormal(value);
        }
    }
    const bool verticalX = number == midiVerticalControlMessageX();
    const bool verticalY = number == midiVerticalControlMessageY();
    if (verticalX || verticalY) {
        if (verticalX) mVerticalNormal.x.store(value, std::memory_order_relaxed);
        if (verticalY) mVerticalNormal.y.store(value, std::memory_order_relaxed);
        updateVerticalFilter();
    }
    const bool horizontalX = number == midiHorizontalControlMessageX();
    const bool horizontalY = number == midiHorizontalControlMessageY();
    if (horizontalX || horizontalY) {
        if (horizontalX) mHorizontalNormal.x.store(value, std::memory_order_relaxed);
        if (horizontalY) mHorizontalNormal.y.store(value, std::memory_order_relaxed);
        updateHorizontalFilter();
    }
}

void QMIDIController::updateVerticalFilter() {
    updateFilter(mVerticalNormal, true);
}

void QMIDIController::updateHorizontalFilter() {
    updateFilter(mHorizontalNormal, false);
}

void QMIDIController::updateFilter(AtomicPoint &point, bool vertical) {
    // One waiting update per filter: the flag is cleared before the point is read, so a value
    // stored after the read posts a new update.
    if (point.updatePending.exchange(true, std::memory_order_acq_rel)) {
        return;
    }
    dispatch_async(dispatch_get_main_queue(), [self = QPointer<QMIDIController>(this), vertical] {
        if (self) {
            self->handFilterPoint(vertical ? self->mVerticalNormal : self->mHorizontalNormal, vertical);
        }
    });
}

void QMIDIController::handFilterPoint(AtomicPoint &point, bool vertical) {
    // Reads the flag set by the MIDI thread's exchange, so its point stores are seen.
    point.updatePending.exchange(false, std::memory_order_acq_rel);
    const QPointF normal(point.x.load(std::memory_order_relaxed), point.y.load(std::memory_order_relaxed));
    NSOGLTexture1DViewNibbler *filter = vertical ? mVerticalFilter.data() : mHorizontalFilter.data();
    if (filter != nullptr && filter->textureViewController() != nullptr) {
        filter->textureViewController()->synthesizedMousePointNormal(normal);
    }
}

QPointF QMIDIController::midiVerticalNormal() const {
    return QPointF(mVerticalNormal.x.load(std::memory_order_relaxed), mVerticalNormal.y.load(std::memory_order_relaxed));
}

void QMIDIController::setMidiVerticalNormal(QPointF point) {
    mVerticalNormal.x.store(float(point.x()), std::memory_order_relaxed);
    mVerticalNormal.y.store(float(point.y()), std::memory_order_relaxed);
}

QPointF QMIDIController::midiHorizontalNormal() const {
    return QPointF(mHorizontalNormal.x.load(std::memory_order_relaxed),
                   mHorizontalNormal.y.load(std::memory_order_relaxed));
}

void QMIDIController::setMidiHorizontalNormal(QPointF point) {
    mHorizontalNormal.x.store(float(point.x()), std::memory_order_relaxed);
    mHorizontalNormal.y.store(float(point.y()), std::memory_order_relaxed);
}

bool import_QMIDIController() { return true; }
