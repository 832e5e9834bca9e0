// NSUIMaskInstanceController: offers a mask instance's shape and screen types to bindings
// (pop-ups that show the type names). Setting a type moves the type slider and sends the
// instance the slider's action; a 0.1 s timer announces both keys again and again (will /
// did change), so bound pop-ups follow the sliders however they were moved.
//
// The timer runs on the main thread from awakeFromNib (queued) until endRefreshing or the
// controller goes.
#pragma once

#include "NSUIMaskInstance.h"

#include <Foundation/NSObject.h>

#include <QPointer>
#include <QStringList>
#include <QVariant>

class QTimer;

class NSUIMaskInstanceController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(NSUIMaskInstance *outletMaskInstance READ outletMaskInstance WRITE setOutletMaskInstance)
    Q_PROPERTY(QVariant shapeType READ shapeType WRITE setShapeType)
    Q_PROPERTY(QVariant screenType READ screenType WRITE setScreenType)
    Q_PROPERTY(QStringList shapeTypeNames READ shapeTypeNames CONSTANT)
    Q_PROPERTY(QStringList screenTypeNames READ screenTypeNames CONSTANT)

public:
    static constexpr int kRefreshIntervalMilliseconds = 100;

    Q_INVOKABLE explicit NSUIMaskInstanceController(QObject *parent = nullptr);
    ~NSUIMaskInstanceController() override;

    NSUIMaskInstance *outletMaskInstance() const { return mMaskInstance.data(); }
    void setOutletMaskInstance(NSUIMaskInstance *instance) { mMaskInstance = instance; }

    NSUIContextMaskShapeTypeSlider *shapeTypeSlider() const;
    NSUIContextMaskScreenTypeSlider *screenTypeSlider() const;

    // The slider's integer value; nil without slider.
    QVariant shapeType() const;
    QVariant screenType() const;
    // Sets the slider's integer value and sends the instance maskShapeChanged: /
    // maskScreenChanged: with the slider. A value that is not a number is ignored.
    void setShapeType(const QVariant &type);
    void setScreenType(const QVariant &type);

    // The names of the 19 shape types and of the 20 screen types, by type number.
    static QStringList shapeTypeNames();
    static QStringList screenTypeNames();

    // Queues beginRefreshing on the main thread.
    Q_INVOKABLE void awakeFromNib();
    // Starts the repeating timer unless it runs.
    Q_INVOKABLE void beginRefreshing();
    Q_INVOKABLE void bindingsRefreshTimer(QObject *timer);
    Q_INVOKABLE void endRefreshing();
    bool isRefreshing() const { return mBindingsRefresher != nullptr; }

private:
    QPointer<NSUIMaskInstance> mMaskInstance;
    QTimer *mBindingsRefresher = nullptr;
};

bool import_NSUIMaskInstanceController();
