#include <NSUIMultiViewController/NSUIMultiViewSegmentedControl.h>

#include <NSUIMultiViewController/NSView_protocol_NSUIMultiViewBox.h>

#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMultiViewSegmentedControl);

NSUIMultiViewSegmentedControl::NSUIMultiViewSegmentedControl(QWidget *parent)
    : NSUIMultiViewSegmentedControlBase(parent) {}

NSUIMultiViewSegmentedControl::~NSUIMultiViewSegmentedControl() = default;

void NSUIMultiViewSegmentedControl::refreshMultiViewTitlesWithSelection(const QString &) {
    auto *host = dynamic_cast<NSUIMultiViewHostProtocol *>(delegate());
    if (host == nullptr) return;
    const QStringList titles = host->switchingMultiViewTitleList();
    setSegmentCount(static_cast<int>(titles.size()));
    const QString selected = host->selectedMultiViewTitle();
    const double width = segmentWidth();
    for (int i = 0; i < titles.size(); ++i) {
        const QString &title = titles[i];
        if (showTitles()) setLabelForSegment(title, i);
        if (showIconImages()) {
            auto *client = dynamic_cast<NSUIMultiViewClientProtocol *>(host->multiViewWithTitle(title));
            if (client != nullptr)
                if (std::shared_ptr<NSImage> image = client->multiViewIconImage()) setImageForSegment(image, i);
        }
        setWidthForSegment(width, i);
        if (title == selected && !isSelectedForSegment(i)) setSelectedSegment(i);
    }
    host->multiViewSwitchingControlSelectionChanged(this);
}

void NSUIMultiViewSegmentedControl::setSelectedMultiViewTitle(const QString &title) {
    if (title == selectedMultiViewTitle()) return;
    try {
        int found = -1;
        for (int i = 0; i < segmentCount() && found < 0; ++i)
            if (labelForSegment(i) == title) found = i;
        setSelectedSegment(found);
    } catch (const NSException &) {
    }
}

bool import_NSUIMultiViewSegmentedControl() { return import_NSUIMultiViewSegmentedControlBase(); }
