// NSUINfoGraffikRadio: a toggle button with drawn round pictures (kind 1: a circle with its picture over 0.8 of it), for radio groups.
// Its pictures are made from its title once it has one: at construction and when it wakes
// from a nib (see NSUINfoGraffik.h); the tool button's set-up then clears the title.
#pragma once

#include "NSUINfoGraffik.h"

class NSUINfoGraffikRadio : public NSUIToggleButton {
    Q_OBJECT
public:
    static constexpr int kKind = 1;

    explicit NSUINfoGraffikRadio(QWidget *parent = nullptr);
    ~NSUINfoGraffikRadio() override;

    int buttonKind() const override { return kKind; }
    // The pictures named by the nib's title, then the toggle button's settings.
    void awakeFromNib() override;
};
