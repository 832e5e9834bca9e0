// NSUIMaskInstance: the mask instance that nibs place: a mask controller with its own composite of the default size (320 x 240).
#pragma once

#include "NSUIMaskControllerMaskInstance.h"

class NSUIMaskInstance : public NSUIMaskControllerMaskInstance {
    Q_OBJECT

public:
    Q_INVOKABLE explicit NSUIMaskInstance(QWidget *parent = nullptr);
    ~NSUIMaskInstance() override;
};

bool import_NSUIMaskInstance();
