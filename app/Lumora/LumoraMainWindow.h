// LumoraMainWindow: the camera window. Closing it asks the application delegate
// (windowShouldClose), which ends the application. LumoraAspectFrame: the frame that holds the
// camera view, keeping the view at the aspect ratio it is given (640 x 480 until the delegate
// sets the window's), centred, the rest filled with the window's background.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSizeF>

#include <LumoraApp/AppController.h>

class LumoraAspectFrame : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QSizeF aspectRatio READ aspectRatio WRITE setAspectRatio)
public:
    Q_INVOKABLE explicit LumoraAspectFrame(QWidget *parent = nullptr);
    QSizeF aspectRatio() const { return mAspectRatio; }
    void setAspectRatio(const QSizeF &ratio);
    // The rectangle of the given size's largest centred rectangle of the ratio.
    static QRect fittedRect(const QSize &size, const QSizeF &ratio);
    QSize sizeHint() const override { return {640, 480}; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void childEvent(QChildEvent *event) override;

private:
    void layoutView();
    QSizeF mAspectRatio{640, 480};
};

class LumoraMainWindow : public QMainWindow {
    Q_OBJECT
public:
    Q_INVOKABLE explicit LumoraMainWindow(QWidget *parent = nullptr);
    void setDelegate(AppController *delegate) { mDelegate = delegate; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    QPointer<AppController> mDelegate;
};
