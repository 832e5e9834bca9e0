// NSTextField: a one-line text field (QLineEdit) that is also a control. Its value is its text,
// read and set as a string, a double, a float, an integer or an object; the take...ValueFrom
// family copies a value from any sender that answers the matching key ("doubleValue", ...).
// Return in the field sends the action to the target with the field as its argument.
//
// Numbers are read from the start of the text the way NSString reads them: leading blanks, an
// optional sign, digits with an optional fraction and exponent; anything else after them is
// ignored and text without a number reads 0. Numbers are written in their shortest exact form.
#pragma once

#include <QByteArray>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class NSTextField : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString stringValue READ stringValue WRITE setStringValue NOTIFY valueChanged)
    Q_PROPERTY(double doubleValue READ doubleValue WRITE setDoubleValue NOTIFY valueChanged)
    Q_PROPERTY(float floatValue READ floatValue WRITE setFloatValue NOTIFY valueChanged)
    Q_PROPERTY(int intValue READ intValue WRITE setIntValue NOTIFY valueChanged)
    Q_PROPERTY(QVariant objectValue READ objectValue WRITE setObjectValue NOTIFY valueChanged)
    Q_PROPERTY(QObject *target READ target WRITE setTarget)
    Q_PROPERTY(QByteArray action READ action WRITE setAction)

public:
    explicit NSTextField(QWidget *parent = nullptr);
    ~NSTextField() override;

    QString stringValue() const { return text(); }
    void setStringValue(const QString &value);
    double doubleValue() const;
    void setDoubleValue(double value);
    float floatValue() const { return static_cast<float>(doubleValue()); }
    void setFloatValue(float value);
    int intValue() const;
    void setIntValue(int value);
    // The text as a string; setting shows the value's text (nil: empty).
    QVariant objectValue() const { return text(); }
    void setObjectValue(const QVariant &value);

    QObject *target() const { return mTarget.data(); }
    void setTarget(QObject *target) { mTarget = target; }
    QByteArray action() const { return mAction; }
    void setAction(const QByteArray &action) { mAction = action; }

    // Each takes the sender's value of that kind (its "doubleValue", ... key); a sender without
    // it raises "NSInvalidArgumentException" and the field keeps its text.
    Q_INVOKABLE virtual void takeDoubleValueFrom(QObject *sender);
    Q_INVOKABLE virtual void takeFloatValueFrom(QObject *sender);
    Q_INVOKABLE virtual void takeIntValueFrom(QObject *sender);
    Q_INVOKABLE virtual void takeObjectValueFrom(QObject *sender);
    Q_INVOKABLE virtual void takeStringValueFrom(QObject *sender);

    // Sends the action to the target with the field, at once; nothing without both.
    void sendAction();

    // The number at the start of a text, as NSString reads it (0 when there is none).
    static double leadingDoubleValue(const QString &text);
    static int leadingIntValue(const QString &text);

signals:
    // The text changed, by typing or by a setter.
    void valueChanged();

private:
    QPointer<QObject> mTarget;
    QByteArray mAction;
};

bool import_NSTextField();
