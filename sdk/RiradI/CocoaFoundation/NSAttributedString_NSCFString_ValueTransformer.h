// The value transformer that lets text views bound to plain string properties show them as
// attributed strings in a small fixed-pitch font, and turns edits back into plain strings.
// The application registers it under "attributedStringFromCoreFoundationString" before any
// panel is loaded (registerValueTransformer).
//
// Forward (transformedValue): nil stays nil; a string, an attributed string (a restyled copy:
// the value given is never changed), an object answering `string` or `stringValue` (numbers
// answer their text) becomes a mutable attributed string of that text; anything else becomes
// "!!!<value>(<class>)!!!". The default text attributes are set over the whole result.
// Reverse: nil stays nil; an attributed string or an object answering `string` gives that
// text, a string itself, an object answering `stringValue` that text; anything else
// "###<value>(<class>)###".
//
// The user's fixed-pitch font is known once a QGuiApplication exists; before that a generic
// fixed-pitch font stands in.
#pragma once

#include <Foundation/NSValueTransformer.h>

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class NSAttributedString_NSCFString_ValueTransformer : public NSValueTransformer {
public:
    static constexpr char kValueTransformerName[] = "attributedStringFromCoreFoundationString";

    // The class of the forward results (NSMutableAttributedString).
    static QMetaType transformedValueClass();
    bool allowsReverseTransformation() const override;
    // {font: the user's fixed-pitch font at the small system font size}, made on first use.
    static const QVariantMap &defaultTextAttributes();

    QVariant transformedValue(const QVariant &value) const override;
    QVariant reverseTransformedValue(const QVariant &value) const override;

    // Registers a new instance under kValueTransformerName (replacing an earlier one).
    static void registerValueTransformer();
};

bool import_NSAttributedString_NSCFString_ValueTransformer();
