// LumBroadcastControl: the application's rebroadcast control in the main interface; it does
// what NSUICamBroadcastControlUDP does.
#pragma once

#include "NSUICamBroadcastControlUDP.h"

class LumBroadcastControl : public NSUICamBroadcastControlUDP {
    Q_OBJECT

public:
    Q_INVOKABLE explicit LumBroadcastControl(QWidget *parent = nullptr);
    ~LumBroadcastControl() override;
};

bool import_LumBroadcastControl();
