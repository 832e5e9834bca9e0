// NSUIMaskReference: the mask reference that nibs place: a mask controller over another object's composite.
#pragma once

#include "NSUIMaskControllerMaskReference.h"

class NSUIMaskReference : public NSUIMaskControllerMaskReference {
    Q_OBJECT

public:
    Q_INVOKABLE explicit NSUIMaskReference(QWidget *parent = nullptr);
    ~NSUIMaskReference() override;
};

bool import_NSUIMaskReference();
