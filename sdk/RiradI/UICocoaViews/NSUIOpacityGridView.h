// NSUIOpacityGridView: a view that paints a grey checkerboard (light 0.9, dark 0.5) behind
// transparent content, drawn by hand with the Core Graphics layer. Squares are gridSizePixels
// points a side (40 by default); the square at the view's bottom-left corner is light.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <QWidget>

class NSUIOpacityGridView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int gridSizePixels READ gridSizePixels WRITE setGridSizePixels)

public:
    explicit NSUIOpacityGridView(QWidget *parent = nullptr);
    ~NSUIOpacityGridView() override;

    int gridSizePixels() const { return _gridSizePixels; }
    void setGridSizePixels(int size);
    bool isOpaque() const { return true; }

    // Paints the grid into the context in the view's y-up points: nothing when the height
    // (truncated) or the grid size is below 1.
    void drawGrid(CGContextRef context) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int _gridSizePixels = 40;
};

bool import_NSUIOpacityGridView();
