#include <NSUIMultiViewController/NSUIMultiViewSegmentedControlBase.h>

#include <NSUIMultiViewController/protocol_NSUIMultiView.h>

#include <AppKit/NSBitmapImageRep.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QToolButton>

#include <cmath>

NS_REGISTER_CLASS(NSUIMultiViewSegmentedControlBase);

NSUIMultiViewSegmentedControlBase::NSUIMultiViewSegmentedControlBase(QWidget *parent) : QWidget(parent) {}

NSUIMultiViewSegmentedControlBase::~NSUIMultiViewSegmentedControlBase() = default;

void NSUIMultiViewSegmentedControlBase::setSegmentCount(int count) {
    count = std::max(0, count);
    while (mSegments.size() > count) delete mSegments.takeLast().button;
    while (mSegments.size() < count) {
        Segment segment;
        segment.button = new QToolButton(this);
        segment.button->setCheckable(true);
        segment.button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        QToolButton *button = segment.button;
        connect(button, &QToolButton::clicked, this, [this, button] {
            for (int i = 0; i < mSegments.size(); ++i)
                if (mSegments[i].button == button) setSelectedSegment(i);
            syncChecks();
            segmentChangedAction(this);
        });
        button->show();
        mSegments.append(segment);
    }
    if (mSelected >= count) mSelected = -1;
    syncChecks();
    layoutSegments();
}

void NSUIMultiViewSegmentedControlBase::setSelectedSegment(int segment) {
    mSelected = segment >= 0 && segment < mSegments.size() ? segment : -1;
    syncChecks();
}

QString NSUIMultiViewSegmentedControlBase::labelForSegment(int segment) const {
    if (segment < 0 || segment >= mSegments.size()) return QString();
    return mSegments[segment].label;
}

void NSUIMultiViewSegmentedControlBase::setLabelForSegment(const QString &label, int segment) {
    if (segment < 0 || segment >= mSegments.size()) return;
    mSegments[segment].label = label;
    showSegment(mSegments[segment]);
}

std::shared_ptr<NSImage> NSUIMultiViewSegmentedControlBase::imageForSegment(int segment) const {
    if (segment < 0 || segment >= mSegments.size()) return nullptr;
    return mSegments[segment].image;
}

void NSUIMultiViewSegmentedControlBase::setImageForSegment(std::shared_ptr<NSImage> image, int segment) {
    if (segment < 0 || segment >= mSegments.size()) return;
    mSegments[segment].image = std::move(image);
    showSegment(mSegments[segment]);
}

double NSUIMultiViewSegmentedControlBase::widthForSegment(int segment) const {
    if (segment < 0 || segment >= mSegments.size()) return 0;
    return mSegments[segment].width;
}

void NSUIMultiViewSegmentedControlBase::setWidthForSegment(double width, int segment) {
    if (segment < 0 || segment >= mSegments.size() || !std::isfinite(width)) return;
    mSegments[segment].width = std::max(0.0, width);
    layoutSegments();
}

double NSUIMultiViewSegmentedControlBase::segmentWidth() const {
    if (mSegmentWidthPixels.isValid() && !mSegmentWidthPixels.isNull()) return mSegmentWidthPixels.toInt();
    if (segmentCount() > 0) return (width() - defaultAutoSegmentMarginWidth()) / segmentCount();
    return 72.0;
}

bool NSUIMultiViewSegmentedControlBase::hasSelectedSegment() const {
    return segmentCount() > 0 && selectedSegment() != -1;
}

QString NSUIMultiViewSegmentedControlBase::selectedSegmentLabel() const {
    try {
        return hasSelectedSegment() ? labelForSegment(selectedSegment()) : QString();
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSUIMultiViewSegmentedControl::selectedSegmentLabel: exception:%1\n")
                  .arg(exception.reason()));
        return QString();
    }
}

void NSUIMultiViewSegmentedControlBase::segmentChangedAction(QObject *) {
    if (auto *host = dynamic_cast<NSUIMultiViewHostProtocol *>(mDelegate.data()))
        host->setSelectedMultiViewTitle(selectedMultiViewTitleOfSegments());
}

void NSUIMultiViewSegmentedControlBase::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layoutSegments();
}

void NSUIMultiViewSegmentedControlBase::layoutSegments() {
    // Segments of width 0 share the room that the sized ones leave.
    double fixed = 0;
    int automatic = 0;
    for (const Segment &segment : mSegments) {
        if (segment.width > 0)
            fixed += segment.width;
        else
            ++automatic;
    }
    const double share = automatic > 0 ? std::max(0.0, (width() - fixed) / automatic) : 0;
    double x = 0;
    for (const Segment &segment : mSegments) {
        const double w = segment.width > 0 ? segment.width : share;
        segment.button->setGeometry(static_cast<int>(std::lround(x)), 0, static_cast<int>(std::lround(w)), height());
        x += w;
    }
}

void NSUIMultiViewSegmentedControlBase::showSegment(const Segment &segment) {
    segment.button->setText(segment.label);
    segment.button->setAccessibleName(segment.label);
    QIcon icon;
    if (segment.image != nullptr && !segment.image->representations().empty())
        icon = QIcon(QPixmap::fromImage(segment.image->representations().front()->toQImage()));
    segment.button->setIcon(icon);
}

void NSUIMultiViewSegmentedControlBase::syncChecks() {
    for (int i = 0; i < mSegments.size(); ++i) mSegments[i].button->setChecked(i == mSelected);
}

bool import_NSUIMultiViewSegmentedControlBase() { return true; }
