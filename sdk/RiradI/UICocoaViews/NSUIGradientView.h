// NSUIGradientView: an opaque backdrop view for bars and headers. It fills its bounds with a
// vertical gradient from its starting colour (bottom edge) to its ending colour (top edge) and
// strokes a border path over it (line width 1), by default a line along the bottom edge in the
// platform's shadow colour. Drawn by hand with the Core Graphics layer; subclasses fix the two
// colours (gradientStartingColor / gradientEndingColor) and may give another border shape by
// overriding borderForFrameSize.
//
// The colours are reached by key-value coding through invokables (startColor, setStartColor,
// ...), not Qt properties: a view made from a .ui file starts with its class's colours whatever
// the file holds.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <QColor>
#include <QWidget>

class NSUIGradientView : public QWidget {
    Q_OBJECT

public:
    explicit NSUIGradientView(QWidget *parent = nullptr);
    ~NSUIGradientView() override;

    // Grey at the bottom, dark grey at the top.
    static QColor gradientStartingColor();
    static QColor gradientEndingColor();

    // A new path (the caller releases it) from (0, 0) to (width, 0): the bottom edge. The view
    // asks for its border again whenever it is read or drawn at a size other than the one it
    // was made for, and once more after construction, so a subclass's shape is used from the
    // start.
    virtual CGPathRef createBorderForFrameSize(CGSize size) const;

    // Store the colour, rebuild the gradient and border for the frame and redraw.
    Q_INVOKABLE void setStartColor(const QColor &color);
    Q_INVOKABLE void setEndColor(const QColor &color);
    Q_INVOKABLE QColor startColor() const { return mStartColor; }
    Q_INVOKABLE QColor endColor() const { return mEndColor; }
    // Plain accessors of the stored colours: setting rebuilds and redraws nothing.
    Q_INVOKABLE QColor _startColor() const { return mStartColor; }
    Q_INVOKABLE void set_startColor(const QColor &color) { mStartColor = color; }
    Q_INVOKABLE QColor _endColor() const { return mEndColor; }
    Q_INVOKABLE void set_endColor(const QColor &color) { mEndColor = color; }

    Q_INVOKABLE QColor borderColor() const { return mBorderColor; }
    // Stores the colour; the view is not redrawn until something else asks.
    Q_INVOKABLE void setBorderColor(const QColor &color) { mBorderColor = color; }

    // The gradient and border (borrowed; setting retains the new one and releases the old).
    CGGradientRef gradient() const { return mGradient; }
    void setGradient(CGGradientRef gradient);
    CGPathRef border() const;
    void setBorder(CGPathRef border);

    // Border colour and the class's two colours; the gradient is not rebuilt here.
    void setDefaults();
    // A new gradient from the starting to the ending colour (none when either colour is
    // invalid), and the border for rect's size.
    void initGradient(CGRect rect);

    bool isOpaque() const { return true; }
    bool acceptsFirstResponder() const { return false; }
    bool acceptsFirstMouse() const { return true; }

    // The bounds: (0, 0, width, height), the frame's size.
    CGRect bounds() const;
    // Fills the bounds with the gradient (bottom to top) and strokes the border, in the
    // context's y-up points; leaves the context's state as it was.
    virtual void drawRect(CGContextRef context, CGRect dirtyRect);

protected:
    // Subclasses pass their own two colours.
    NSUIGradientView(const QColor &start, const QColor &end, QWidget *parent);
    void paintEvent(QPaintEvent *event) override;

private:
    CGGradientRef mGradient = nullptr;  // owned
    mutable CGPathRef mBorder = nullptr;  // owned
    // The size the border was made for; negative: remake it at the next use.
    mutable CGSize mBorderSize{-1, -1};
    QColor mBorderColor;
    QColor mStartColor;
    QColor mEndColor;
};

bool import_NSUIGradientView();
// Links every gradient view class into a program (true).
bool import_NSUIGradientViews();
