// NSUINfoGraffikRoundPushOnPushOff: a push-on/push-off toggle with drawn round pictures (kind 4) that lights by contents.
// Its pictures are made from its title once it has one: at construction and when it wakes
// from a nib (see NSUINfoGraffik.h); the tool button's set-up then clears the title.
#pragma once

#include "NSUINfoGraffik.h"

class NSUINfoGraffikRoundPushOnPushOff : public NSUIToggleButton {
    Q_OBJECT
public:
    static constexpr int kKind = 4;

    explicit NSUINfoGraffikRoundPushOnPushOff(QWidget *parent = nullptr);
    ~NSUINfoGraffikRoundPushOnPushOff() override;

    int buttonKind() const override { return kKind; }
    // The toggle button's settings, lights by contents, push-on/push-off.
    void initCellAttributes(NSButtonCell *cell) override;
    // The pictures named by the nib's title, then the toggle button's settings.
    void awakeFromNib() override;
};
