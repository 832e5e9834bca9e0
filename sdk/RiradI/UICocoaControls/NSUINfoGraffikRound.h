// NSUINfoGraffikRound: a round picture button (kind 3): a circle with its picture over 0.9 of it (see NSUINfoGraffik.h).
#pragma once

#include "NSUINfoGraffik.h"

class NSUINfoGraffikRound : public NSUINfoGraffik {
    Q_OBJECT
public:
    explicit NSUINfoGraffikRound(QWidget *parent = nullptr);
    ~NSUINfoGraffikRound() override;
};
