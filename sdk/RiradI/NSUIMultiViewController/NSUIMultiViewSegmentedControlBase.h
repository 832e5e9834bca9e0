// NSUIMultiViewSegmentedControlBase: a segmented control that switches the views of its
// delegate, a multi-view host. Segments are checkable tool buttons side by side, drawn by the
// Qt style; each has a label, an image and a width, and at most one is selected (-1: none).
// Clicking a segment selects it and sends the control's action (segmentChangedAction): the
// host selects the view of the selected segment's label.
//
// Segment widths: outletSegmentWidthPixels when set (an integer number), else the control's
// width less a margin of 8 shared by the segments, else (no segments) 72.
#pragma once

#include <AppKit/NSImage.h>

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>

class QToolButton;

class NSUIMultiViewSegmentedControlBase : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(bool showTitles READ showTitles WRITE setShowTitles)
    Q_PROPERTY(bool showIconImages READ showIconImages WRITE setShowIconImages)
    Q_PROPERTY(QVariant outletSegmentWidthPixels READ outletSegmentWidthPixels WRITE setOutletSegmentWidthPixels)
    Q_PROPERTY(int segmentCount READ segmentCount WRITE setSegmentCount)
    Q_PROPERTY(int selectedSegment READ selectedSegment WRITE setSelectedSegment)

public:
    // Titles shown, images not, no fixed segment width.
    Q_INVOKABLE explicit NSUIMultiViewSegmentedControlBase(QWidget *parent = nullptr);
    ~NSUIMultiViewSegmentedControlBase() override;

    static double defaultAutoSegmentMarginWidth() { return 8.0; }

    QObject *delegate() const { return mDelegate.data(); }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }
    bool showTitles() const { return mShowTitles; }
    void setShowTitles(bool show) { mShowTitles = show; }
    bool showIconImages() const { return mShowIconImages; }
    void setShowIconImages(bool show) { mShowIconImages = show; }
    // Nil (invalid) or a number.
    QVariant outletSegmentWidthPixels() const { return mSegmentWidthPixels; }
    void setOutletSegmentWidthPixels(const QVariant &pixels) { mSegmentWidthPixels = pixels; }

    // The segments (NSSegmentedControl). Setting the count keeps the first segments and the
    // selection when it is still a segment.
    int segmentCount() const { return static_cast<int>(mSegments.size()); }
    void setSegmentCount(int count);
    int selectedSegment() const { return mSelected; }
    // An index outside the segments selects none.
    void setSelectedSegment(int segment);
    bool isSelectedForSegment(int segment) const { return segment >= 0 && segment == mSelected; }
    // Null for an index outside the segments.
    QString labelForSegment(int segment) const;
    void setLabelForSegment(const QString &label, int segment);
    std::shared_ptr<NSImage> imageForSegment(int segment) const;
    void setImageForSegment(std::shared_ptr<NSImage> image, int segment);
    double widthForSegment(int segment) const;
    void setWidthForSegment(double width, int segment);

    double segmentWidth() const;
    bool hasSelectedSegment() const;
    // The selected segment's label; null without one (an exception on the way is logged).
    QString selectedSegmentLabel() const;

    // The control's action: the host selects the view of selectedMultiViewTitle.
    Q_INVOKABLE void segmentChangedAction(QObject *sender);
    // The title of the selected segment (the subclass's switching-control answer).
    virtual QString selectedMultiViewTitleOfSegments() const { return selectedSegmentLabel(); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Segment {
        QString label;
        std::shared_ptr<NSImage> image;
        double width = 0;
        QToolButton *button = nullptr;
    };
    void layoutSegments();
    void showSegment(const Segment &segment);
    void syncChecks();

    QPointer<QObject> mDelegate;
    bool mShowTitles = true;
    bool mShowIconImages = false;
    QVariant mSegmentWidthPixels;
    QList<Segment> mSegments;
    int mSelected = -1;
};

bool import_NSUIMultiViewSegmentedControlBase();
