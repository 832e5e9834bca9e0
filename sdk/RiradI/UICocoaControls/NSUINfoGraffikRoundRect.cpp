#include "NSUINfoGraffikRoundRect.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUINfoGraffikRoundRect);

NSUINfoGraffikRoundRect::NSUINfoGraffikRoundRect(QWidget *parent) : NSUINfoGraffik(2, parent) {}

NSUINfoGraffikRoundRect::~NSUINfoGraffikRoundRect() = default;
