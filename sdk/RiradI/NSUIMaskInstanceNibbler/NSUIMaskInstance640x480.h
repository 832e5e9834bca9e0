// NSUIMaskInstance640x480: a mask instance whose composite is 640 x 480.
#pragma once

#include "NSUIMaskInstance.h"

class NSUIMaskInstance640x480 : public NSUIMaskInstance {
    Q_OBJECT

public:
    Q_INVOKABLE explicit NSUIMaskInstance640x480(QWidget *parent = nullptr);
    ~NSUIMaskInstance640x480() override;

    CGSize defaultMaskInstanceSizePixels() const override;
};

bool import_NSUIMaskInstance640x480();
