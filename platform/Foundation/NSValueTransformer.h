// Value transformers: objects that turn a value into another and, when they allow it, back;
// registered by name for the interface code (bindings) to find. The registry keeps shared
// pointers, so a transformer replaced while in use stays alive for its user.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class NSValueTransformer {
public:
    virtual ~NSValueTransformer() = default;

    // False here.
    virtual bool allowsReverseTransformation() const;
    // The value itself here.
    virtual QVariant transformedValue(const QVariant &value) const;
    // transformedValue when reverse transformation is allowed; otherwise raises
    // "NSInternalInconsistencyException".
    virtual QVariant reverseTransformedValue(const QVariant &value) const;

    // Registers (null: removes) the transformer under the name; a later registration replaces.
    static void setValueTransformer(std::shared_ptr<NSValueTransformer> transformer, const QString &name);
    // The transformer registered under the name; null when none.
    static std::shared_ptr<NSValueTransformer> valueTransformerForName(const QString &name);
    static QStringList valueTransformerNames();
};
