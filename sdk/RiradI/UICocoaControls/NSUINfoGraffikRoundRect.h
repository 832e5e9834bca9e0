// NSUINfoGraffikRoundRect: a rounded-square picture button (kind 2) with a margin of 2 (see NSUINfoGraffik.h).
#pragma once

#include "NSUINfoGraffik.h"

class NSUINfoGraffikRoundRect : public NSUINfoGraffik {
    Q_OBJECT
public:
    explicit NSUINfoGraffikRoundRect(QWidget *parent = nullptr);
    ~NSUINfoGraffikRoundRect() override;
};
