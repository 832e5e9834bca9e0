// NSUIGlossetteGlossyView: an opaque backdrop view that fills its bounds with the glossy
// shading (GlossyShading.h) of its colour at gloss strength 0.5, drawn by hand with the Core
// Graphics layer. Subclasses choose only the default colour.
//
// The colour is reached by key-value coding through the invokable glossyColor /
// setGlossyColor (not a Qt property): a view made from a .ui file starts with its class's
// colour whatever the file holds.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <QColor>
#include <QWidget>

class NSUIGlossetteGlossyView : public QWidget {
    Q_OBJECT

public:
    explicit NSUIGlossetteGlossyView(QWidget *parent = nullptr);
    ~NSUIGlossetteGlossyView() override;

    // The platform's dark grey.
    static QColor defaultGlossyColor();

    Q_INVOKABLE QColor glossyColor() const { return _glossyColor; }
    // Stores the colour; the view is not redrawn until something else asks.
    Q_INVOKABLE void setGlossyColor(const QColor &color) { _glossyColor = color; }

    bool isOpaque() const { return true; }
    bool acceptsFirstResponder() const { return false; }
    bool acceptsFirstMouse() const { return true; }

    // The bounds: (0, 0, width, height).
    CGRect bounds() const;
    // Fills the bounds into the context (y upwards), leaving the context's state as it was.
    virtual void drawRect(CGContextRef context, CGRect dirtyRect);

protected:
    // Subclasses pass their own default colour.
    NSUIGlossetteGlossyView(const QColor &color, QWidget *parent);
    void paintEvent(QPaintEvent *event) override;

private:
    QColor _glossyColor;
};

// Links every glossy view class into a program (true).
bool import_NSUIGlossyViews();
