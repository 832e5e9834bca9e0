// LumoraSlider: the self-labelling slider with a fainter lozenge (alpha 0.05) and a wider
// margin (2.0).
#pragma once

#include <CocoaQZ/CIControls/NSUISelfLabelingSlider.h>

class LumoraSlider : public NSUISelfLabelingSlider {
    Q_OBJECT
public:
    using NSUISelfLabelingSlider::NSUISelfLabelingSlider;
    void setSliderCellProperties(NSUISelfLabelingSliderCell &cell) override;
};

bool import_LumoraSlider();
