// NSUITextViewTakesStringValue: a text view that answers the control-style string value
// messages, so that it can stand where a text field is expected.
#pragma once

#include <AppKit/NSTextView.h>

#include <QObject>
#include <QString>

class NSUITextViewTakesStringValue : public NSTextView {
    Q_OBJECT
    Q_PROPERTY(QString stringValue READ stringValue WRITE setStringValue NOTIFY stringChanged)

public:
    explicit NSUITextViewTakesStringValue(QWidget *parent = nullptr);
    ~NSUITextViewTakesStringValue() override;

    // The current text, as a value of its own: later edits do not change it.
    QString stringValue() const { return string(); }
    // Replaces the whole text.
    void setStringValue(const QString &value) { setString(value); }
    // setStringValue with the sender's "stringValue"; a sender without one raises
    // "NSInvalidArgumentException" and the text stays.
    Q_INVOKABLE void takeStringValueFrom(QObject *sender);
};

bool import_NSUITextViewTakesStringValue();
