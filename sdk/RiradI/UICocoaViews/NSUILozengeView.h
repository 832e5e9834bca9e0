// Capsules: DrawLozenge, the capsule drawing that the lozenge views and other controls (the
// scrub control) share, and the lozenge views, colour views (NSUIColorContentView.h) that draw
// a capsule over their bounds.
#pragma once

#include "NSUIColorContentView.h"

#include <CoreGraphics/CoreGraphics.h>

// A capsule in the colour (three components and alpha) in (x, y, width, height) of the
// context's user space, in a saved graphics state. The capsule lies in R = (x, y + 1, width,
// height - 2): wider than high, a line R.height thick with round caps along R's middle, its
// ends touching R's left and right edges; higher than wide, the same upright; square, the
// circle inscribed in R, filled. Nothing without a context or for a rectangle whose numbers are
// not finite.
void DrawLozenge(CGContextRef context, CGFloat x, CGFloat y, CGFloat width, CGFloat height, float red, float green,
                 float blue, float alpha);

// A capsule over the bounds: grey 0.75 at opacity 0.8.
class NSUIBaseLozengeView : public NSUIColorContentView {
    Q_OBJECT

public:
    explicit NSUIBaseLozengeView(QWidget *parent = nullptr);
    void initColorContentView() override;
    void drawRect(CGContextRef context, CGRect rect) const override;
};

// Grey 0.75 at opacity 0.8.
class NSUIGreyLozengeView : public NSUIBaseLozengeView {
    Q_OBJECT

public:
    explicit NSUIGreyLozengeView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

// Grey 0.5 at opacity 0.75.
class NSUIMedGreyLozengeView : public NSUIBaseLozengeView {
    Q_OBJECT

public:
    explicit NSUIMedGreyLozengeView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

// Grey 0.25 at opacity 0.75.
class NSUIDarkGreyLozengeView : public NSUIBaseLozengeView {
    Q_OBJECT

public:
    explicit NSUIDarkGreyLozengeView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

// Grey 0.05 at opacity 0.75.
class NSUIBlackLozengeView : public NSUIBaseLozengeView {
    Q_OBJECT

public:
    explicit NSUIBlackLozengeView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

// The accent: grey 0.5 at opacity 0.25.
class NSUIAccentLozengeView : public NSUIBaseLozengeView {
    Q_OBJECT

public:
    explicit NSUIAccentLozengeView(QWidget *parent = nullptr);
    void initColorContentView() override;
};

bool import_NSUILozengeView();
