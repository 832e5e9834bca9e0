#include "LumBroadcastControl.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(LumBroadcastControl);

LumBroadcastControl::LumBroadcastControl(QWidget *parent) : NSUICamBroadcastControlUDP(parent) {}

LumBroadcastControl::~LumBroadcastControl() = default;

bool import_LumBroadcastControl() { return import_NSUICamBroadcastControlUDP(); }
