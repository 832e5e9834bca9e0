#include "NSUINfoGraffikRound.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUINfoGraffikRound);

NSUINfoGraffikRound::NSUINfoGraffikRound(QWidget *parent) : NSUINfoGraffik(3, parent) {}

NSUINfoGraffikRound::~NSUINfoGraffikRound() = default;
