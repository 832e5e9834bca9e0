// NSUINfoGraffikToggle: a toggle button with drawn rounded-square pictures (kind 0, no margin).
// Its pictures are made from its title once it has one: at construction and when it wakes
// from a nib (see NSUINfoGraffik.h); the tool button's set-up then clears the title.
#pragma once

#include "NSUINfoGraffik.h"

class NSUINfoGraffikToggle : public NSUIToggleButton {
    Q_OBJECT
public:
    static constexpr int kKind = 0;

    explicit NSUINfoGraffikToggle(QWidget *parent = nullptr);
    ~NSUINfoGraffikToggle() override;

    int buttonKind() const override { return kKind; }
    // The pictures named by the nib's title, then the toggle button's settings.
    void awakeFromNib() override;
};
