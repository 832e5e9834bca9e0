// NSUIMultiViewSegmentedControl: the segmented switching control. Refreshing makes one segment
// per title of the host (labelled when showTitles, with the view's icon when showIconImages,
// each segmentWidth wide), selects the host's selected title and tells the host that its
// selection may have changed.
#pragma once

#include <NSUIMultiViewController/NSUIMultiViewSegmentedControlBase.h>
#include <NSUIMultiViewController/protocol_NSUIMultiView.h>

class NSUIMultiViewSegmentedControl : public NSUIMultiViewSegmentedControlBase,
                                      public NSUIMultiViewSwitchingControlProtocol {
    Q_OBJECT
public:
    Q_INVOKABLE explicit NSUIMultiViewSegmentedControl(QWidget *parent = nullptr);
    ~NSUIMultiViewSegmentedControl() override;

    // Nothing without a host that gives the title list. The argument is not used.
    void refreshMultiViewTitlesWithSelection(const QString &title) override;
    // Nothing for the title already selected; else the first segment labelled so (none when no
    // label matches).
    void setSelectedMultiViewTitle(const QString &title) override;
    QString selectedMultiViewTitle() const override { return selectedSegmentLabel(); }
};

bool import_NSUIMultiViewSegmentedControl();
