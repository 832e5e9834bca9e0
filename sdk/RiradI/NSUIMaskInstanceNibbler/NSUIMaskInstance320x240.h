// NSUIMaskInstance320x240: a mask instance whose composite is 320 x 240.
#pragma once

#include "NSUIMaskInstance.h"

class NSUIMaskInstance320x240 : public NSUIMaskInstance {
    Q_OBJECT

public:
    Q_INVOKABLE explicit NSUIMaskInstance320x240(QWidget *parent = nullptr);
    ~NSUIMaskInstance320x240() override;

    CGSize defaultMaskInstanceSizePixels() const override;
};

bool import_NSUIMaskInstance320x240();
