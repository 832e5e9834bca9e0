// NSUIColorContentView and its family: flat backdrop views that nibs lay under controls as
// coloured panels, bars and dots. The view holds one colour (three components from 0 to 1) and
// an opacity, and fills its area with it; the subclasses fix a preset grey and a shape: the
// plain rectangle, a rounded rectangle (all corners, the top ones or the bottom ones), or a
// circle. The capsules are in NSUILozengeView.h.
//
// Every view is a QWidget drawn by hand with the Core Graphics layer (NSViewQuartzPainting),
// in AppKit's space (y up from the bottom-left corner). The views are not opaque (what is
// behind shows through their transparent parts), take no keyboard focus and act on the first
// click in an inactive window. The preset is set by the constructor, however the view is made
// (in code or by the nib loader, which finds every class here by name).
//
// Rounded corners: a corner value of 1 or more is a size in points; below 1 it is a fraction,
// the corner size being the smaller of fraction x width and fraction x height of the shape.
#pragma once

#include <UICocoaColor/NSColorWellWithAlpha.h>

#include <CoreGraphics/CoreGraphics.h>

#include <QWidget>

#include <memory>

class QMouseEvent;

class NSUIColorContentView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(float alphaOpacity READ alphaOpacity WRITE setOpacity)

public:
    // Which corners drawRect_roundRect rounds.
    enum RoundCorners : int { kRoundTopCorners = 1, kRoundBottomCorners = 2, kRoundAllCorners = 3 };

    explicit NSUIColorContentView(QWidget *parent = nullptr);
    ~NSUIColorContentView() override;

    // A new plain colour view (always of this class, owned by the caller) with the colour and
    // opacity 1.
    static std::unique_ptr<NSUIColorContentView> colorViewWith(float red, float green, float blue);

    // The preset hook, run by each class's constructor: white, opacity 1, here.
    virtual void initColorContentView();

    color_3D viewColorRGB() const { return mViewColorRGB; }
    float alphaOpacity() const { return mAlphaOpacity; }

    // The components are kept as given; drawing holds them within [0, 1].
    void setColor(color_3D color);
    Q_INVOKABLE void setGreyColor(float grey);
    Q_INVOKABLE void setOpacity(float opacity);
    void setGreyColor(float grey, float opacity);

    // Presets: grey level and opacity.
    Q_INVOKABLE void setWhiteOpaque();       // 1.0, 1.0
    Q_INVOKABLE void setLightGreyOpaque();   // 0.85, 1.0
    Q_INVOKABLE void setGreyOpaque();        // 0.75, 1.0
    Q_INVOKABLE void setMedGreyOpaque();     // 0.5, 1.0
    Q_INVOKABLE void setDarkGreyOpaque();    // 0.25, 1.0
    Q_INVOKABLE void setOpaqueBlack();       // 0.05, 1.0
    Q_INVOKABLE void setAccentColors();      // 0.5, 0.25

    bool isOpaque() const { return false; }
    virtual bool acceptsFirstMouse(QMouseEvent *event) const;
    bool acceptsFirstResponder() const { return false; }

    // Draws the view into a context whose user space is the view's (y up). Here: fills the
    // rectangle with the colour and opacity.
    virtual void drawRect(CGContextRef context, CGRect rect) const;

    // The shapes of the subclasses, over the bounds, in the colour and opacity, each in a saved
    // graphics state. Nothing without a context.
    // The ellipse inscribed in the bounds.
    void drawRect_EllipseRect(CGContextRef context) const;
    // The bounds cleared, then the ellipse (the circle views): whatever the context held there
    // is erased, so the view shows round over what is behind it.
    void drawCircle(CGContextRef context) const;
    // A filled rounded rectangle with the corner: all corners; the bottom ones (the shape is the
    // bounds doubled upwards, its top corners outside the view); the top ones (doubled
    // downwards). Other flags, or a corner that is negative or not finite, draw nothing.
    void drawRect_roundRect(CGContextRef context, float corner, int flags = kRoundAllCorners) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    CGRect boundsRect() const;

private:
    color_3D mViewColorRGB{0, 0, 0};
    float mAlphaOpacity = 0;
};

// The opaque greys.
class NSUIWhiteOpaqueView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUIWhiteOpaqueView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

class NSUILightGreyOpaqueView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUILightGreyOpaqueView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

class NSUIGreyOpaqueView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUIGreyOpaqueView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

class NSUIMedGreyOpaqueView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUIMedGreyOpaqueView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

class NSUIDarkGreyOpaqueView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUIDarkGreyOpaqueView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

class NSUIOpaqueBlackView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUIOpaqueBlackView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

// Grey 1 at opacity 0: draws nothing visible.
class NSUITransparentView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUITransparentView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

// Grey 0.75 with the opacity left at 0: a rounded rectangle over the bounds (corner fraction
// 0.25) filled with the colour at the opacity and stroked 3 wide with the colour opaque; the
// stroke is centred on the bounds, so half of it is inside the view.
class NSUIGreyStrokedRoundRectView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUIGreyStrokedRoundRectView(QWidget *parent = nullptr);
    void initColorContentView() override;
    void drawRect(CGContextRef context, CGRect rect) const override;
};

// The accent (grey 0.5 at opacity 0.25) as a rounded rectangle, corner fraction 0.25 ...
class NSUIAccentRoundRectView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUIAccentRoundRectView(QWidget *parent = nullptr);
    void initColorContentView() override;
    void drawRect(CGContextRef context, CGRect rect) const override;
};

// ... and with 10-point corners.
class NSUIAccentRoundRectViewCorner10 : public NSUIAccentRoundRectView {
    Q_OBJECT

public:
    explicit NSUIAccentRoundRectViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

// The opaque greys as shapes: rounded rectangles with corner fraction 0.25, 10-point corners
// all round, at the top only or at the bottom only; circles (the ellipse inscribed in the
// bounds, drawn after clearing them).
class NSUIBlackRoundRectView : public NSUIOpaqueBlackView {
    Q_OBJECT

public:
    explicit NSUIBlackRoundRectView(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIDarkGreyRoundRectView : public NSUIDarkGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIDarkGreyRoundRectView(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIGreyRoundRectView : public NSUIGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIGreyRoundRectView(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIWhiteRoundRectView : public NSUIWhiteOpaqueView {
    Q_OBJECT

public:
    explicit NSUIWhiteRoundRectView(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIBlackRoundRectViewCorner10 : public NSUIOpaqueBlackView {
    Q_OBJECT

public:
    explicit NSUIBlackRoundRectViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIDarkGreyRoundRectViewCorner10 : public NSUIDarkGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIDarkGreyRoundRectViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIGreyRoundRectViewCorner10 : public NSUIGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIGreyRoundRectViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIMedGreyRoundRectViewCorner10 : public NSUIMedGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIMedGreyRoundRectViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIWhiteRoundRectViewCorner10 : public NSUIWhiteOpaqueView {
    Q_OBJECT

public:
    explicit NSUIWhiteRoundRectViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIBlackRoundRectTopViewCorner10 : public NSUIOpaqueBlackView {
    Q_OBJECT

public:
    explicit NSUIBlackRoundRectTopViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIDarkGreyRoundRectTopViewCorner10 : public NSUIDarkGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIDarkGreyRoundRectTopViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIGreyRoundRectTopViewCorner10 : public NSUIGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIGreyRoundRectTopViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIMedGreyRoundRectTopViewCorner10 : public NSUIMedGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIMedGreyRoundRectTopViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIWhiteRoundRectTopViewCorner10 : public NSUIWhiteOpaqueView {
    Q_OBJECT

public:
    explicit NSUIWhiteRoundRectTopViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIBlackRoundRectBottomViewCorner10 : public NSUIOpaqueBlackView {
    Q_OBJECT

public:
    explicit NSUIBlackRoundRectBottomViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIDarkGreyRoundRectBottomViewCorner10 : public NSUIDarkGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIDarkGreyRoundRectBottomViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIGreyRoundRectBottomViewCorner10 : public NSUIGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIGreyRoundRectBottomViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIMedGreyRoundRectBottomViewCorner10 : public NSUIMedGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIMedGreyRoundRectBottomViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIWhiteRoundRectBottomViewCorner10 : public NSUIWhiteOpaqueView {
    Q_OBJECT

public:
    explicit NSUIWhiteRoundRectBottomViewCorner10(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIBlackCircleView : public NSUIOpaqueBlackView {
    Q_OBJECT

public:
    explicit NSUIBlackCircleView(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIDarkGreyCircleView : public NSUIDarkGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIDarkGreyCircleView(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

class NSUIGreyCircleView : public NSUIGreyOpaqueView {
    Q_OBJECT

public:
    explicit NSUIGreyCircleView(QWidget *parent = nullptr);
    void drawRect(CGContextRef context, CGRect rect) const override;
};

bool import_NSUIColorContentView();
