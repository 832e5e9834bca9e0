// Colour wells with alpha handling.
//
// NSColorWell is the colour well of the interface on Qt: a button showing its colour that,
// when clicked, becomes the active well of the shared colour panel (NSColorPanel, a
// QColorDialog) and takes the colours chosen there. The alpha-handling methods read and
// write the colour as color_4D / color_3D floats from 0 to 1; every new colour enters
// through setCoreGeometryColor, which a plain well passes to setColor.
//
// NSUIColorWellBase and its four subclasses are the wells placed in panels: bound with the
// "value" binding to a controller, they write a new colour into the model at the bound key
// path (the binding then updates the well) and fire their action; they decide whether the
// shared panel shows its opacity slider.
//
// Target and action: `target` is any QObject, `action` a selector name; firing sends the
// action to the target with one argument (the well) by name (performSelector).
#pragma once

#include <CoreG/Drawing/namespace_CoreGraphics_Colors.h>
#include <Foundation/NSKeyValueCoding.h>

#include <QByteArray>
#include <QColor>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QVariant>

class QColorDialog;

// A colour as three floats from 0 to 1, passed by value (color_4D without alpha).
struct color_3D {
    float red;
    float green;
    float blue;
};

class NSColorWell : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(QObject *target READ target WRITE setTarget)
    Q_PROPERTY(QByteArray action READ action WRITE setAction)

public:
    explicit NSColorWell(QWidget *parent = nullptr);
    ~NSColorWell() override;

    QColor color() const { return mColor; }
    virtual void setColor(const QColor &color);

    QObject *target() const { return mTarget.data(); }
    void setTarget(QObject *target) { mTarget = target; }
    QByteArray action() const { return mAction; }
    void setAction(const QByteArray &action) { mAction = action; }

    // Active wells take the colours chosen in the shared panel. An exclusive activation
    // deactivates every other well first.
    virtual void activate(bool exclusive);
    void deactivate();
    bool isActive() const { return mActive; }

    // AlphaHandling.
    // The colour as RGB floats; (0, 0, 0, 1) and a report when it cannot be had as RGB.
    color_4D getColor4D() const;
    // The same without report.
    color_4D getDeviceColor4D() const;
    color_3D getColor3DOpaque() const;
    float getColorAlpha() const;
    QColor colorWithAlpha() const;
    QColor colorWithoutAlpha() const;
    // The one place a new colour enters; a plain well shows it (setColor).
    virtual void setCoreGeometryColor(const QColor &color);
    void setColor4D(color_4D color);
    void setColor3D(color_3D color);
    void setColor3DOpaque(color_3D color);
    // Note the argument order: red, blue, green, alpha. Always true.
    bool setColorRedBlueGreenAlpha(float red, float blue, float green, float alpha);
    void setColor3DPreserveAlpha(color_3D color);
    // The current colour with its alpha replaced; false (and a report) when the current
    // colour cannot be had as RGB.
    bool setColorAlpha(float alpha);
    // The red, green and blue of the colour with the current alpha; a report and no
    // change when the current colour cannot be had as RGB.
    void setColorPreserveAlpha(const QColor &color);

    // Sends the action to the target with the object, when both are set.
    void performTargetActionWithObject(QObject *object);

signals:
    void colorChanged(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void clickedWell();

    QColor mColor;
    QPointer<QObject> mTarget;
    QByteArray mAction;
    bool mActive = false;
};

// The shared colour panel: one QColorDialog for the process, made on first use (a
// QApplication must exist), that sends the colours chosen in it to the active wells.
class NSColorPanel {
public:
    static QColorDialog *sharedColorPanel();
    static bool showsAlpha();
    static void setShowsAlpha(bool showsAlpha);
    // Shows the panel with the colour of the well.
    static void orderFrontForWell(NSColorWell *well);
};

class NSUIColorWellBase : public NSColorWell, public NSKeyValueObserver {
    Q_OBJECT
    Q_PROPERTY(QString boundValueKeyPath READ boundValueKeyPath)
    Q_PROPERTY(QObject *boundValueController READ boundValueController)

public:
    explicit NSUIColorWellBase(QWidget *parent = nullptr);
    ~NSUIColorWellBase() override;

    // Binds a property of the well to a key path of a controller: the "value" binding shows
    // the controller's colour at the key path and follows its changes; the controller and
    // key path are remembered for writing new colours back. The well keeps no strong
    // reference to the controller. Other binding names are not supported (false).
    bool bind(const QString &binding, QObject *controller, const QString &keyPath,
              const QVariantMap &options = QVariantMap());
    void unbind(const QString &binding);

    QString boundValueKeyPath() const { return mBoundValueKeyPath; }
    QObject *boundValueController() const { return mBoundValueController.data(); }

    void setCoreGeometryColor(const QColor &color) override;
    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;
    // With a bound controller: sets the colour at the bound key path and fires the action
    // with the well; without one: setColor.
    void setBoundControllerKeyPathValue(const QColor &color);

private:
    void showBoundValue();

    QString mBoundValueKeyPath;
    QPointer<QObject> mBoundValueController;
};

// Shows the panel's opacity slider, then activates with the given flag.
class NSColorWellWithAlpha : public NSUIColorWellBase {
    Q_OBJECT
public:
    using NSUIColorWellBase::NSUIColorWellBase;
    void activate(bool exclusive) override;
};

// Activates exclusively, whatever the flag.
class NSColorWellWithAlphaExclusive : public NSUIColorWellBase {
    Q_OBJECT
public:
    using NSUIColorWellBase::NSUIColorWellBase;
    void activate(bool exclusive) override;
};

// Activates with the given flag, then hides the panel's opacity slider.
class NSColorWellWithoutAlpha : public NSUIColorWellBase {
    Q_OBJECT
public:
    using NSUIColorWellBase::NSUIColorWellBase;
    void activate(bool exclusive) override;
};

// Activates exclusively, whatever the flag.
class NSColorWellWithoutAlphaExclusive : public NSUIColorWellBase {
    Q_OBJECT
public:
    using NSUIColorWellBase::NSUIColorWellBase;
    void activate(bool exclusive) override;
};

bool import_NSColorWellWithAlpha();
