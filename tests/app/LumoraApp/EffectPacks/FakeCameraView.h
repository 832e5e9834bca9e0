// Stand-ins for the stepper's and the loader's partners: a camera view that records what it is
// asked to open (and can be made to throw), and a loader delegate that records the names.
#pragma once

#include <LumoraApp/QFXBundleController.h>

#include <QObject>
#include <QString>
#include <QStringList>

#include <stdexcept>

class FakeCameraView : public QObject {
    Q_OBJECT
public:
    QStringList calls;
    bool throwOnOpen = false;

    Q_INVOKABLE void setCompositionName(const QString &name) { calls.append("set " + name); }
    Q_INVOKABLE void openCompositionName(const QString &name, bool privately) {
        if (throwOnOpen) throw std::runtime_error("the composition cannot be opened");
        calls.append(QString("open ") + name + (privately ? " privately" : ""));
    }
    Q_INVOKABLE void openCompositionNameWithSenderTitle(const QString &title) { calls.append("open title " + title); }
};

class RecordingDelegate : public QObject, public QFXBundleControllerDelegate {
    Q_OBJECT
public:
    int calls = 0;
    QStringList names;
    void qfxbundleDidFinishLoadingCompositions(QFXBundleController *, const QStringList &compositionNames) override {
        ++calls;
        names = compositionNames;
    }
};
