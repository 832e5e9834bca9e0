// NSUITextFieldForwarder: a text field that passes on every value it takes. Each member of the
// take...ValueFrom family first takes the value as a text field does, then forwards: the
// field's action goes to the field's target on the main thread, with the field itself as the
// argument, and the caller waits until it has run (at once on the main thread). Nothing is
// sent when the target is nil, the action empty, or the target does not answer the action.
#pragma once

#include <AppKit/NSTextField.h>

class NSUITextFieldForwarder : public NSTextField {
    Q_OBJECT

public:
    explicit NSUITextFieldForwarder(QWidget *parent = nullptr);
    ~NSUITextFieldForwarder() override;

    // The sender is not used.
    Q_INVOKABLE void forwardActionEventFrom(QObject *sender);

    void takeDoubleValueFrom(QObject *sender) override;
    void takeFloatValueFrom(QObject *sender) override;
    void takeIntValueFrom(QObject *sender) override;
    void takeObjectValueFrom(QObject *sender) override;
    void takeStringValueFrom(QObject *sender) override;
};

bool import_NSUITextFieldForwarder();
