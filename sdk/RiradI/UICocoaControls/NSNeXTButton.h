// NSNeXTButton: a button of the NeXT-look family; it adds nothing to NSButton.
#pragma once

#include <AppKit/NSButton.h>

class NSNeXTButton : public NSButton {
    Q_OBJECT

public:
    explicit NSNeXTButton(QWidget *parent = nullptr);
    ~NSNeXTButton() override;
};

bool import_NSNeXTButton();
