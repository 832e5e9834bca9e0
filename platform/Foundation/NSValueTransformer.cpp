#include <Foundation/NSValueTransformer.h>

#include <Foundation/NSException.h>

#include <QHash>

#include <mutex>

namespace {

struct TransformerRegistry {
    std::mutex mMutex;
    QHash<QString, std::shared_ptr<NSValueTransformer>> mTransformers;

    static TransformerRegistry &Shared() {
        static TransformerRegistry *registry = new TransformerRegistry;
        return *registry;
    }
};

}  // namespace

bool NSValueTransformer::allowsReverseTransformation() const { return false; }

QVariant NSValueTransformer::transformedValue(const QVariant &value) const { return value; }

QVariant NSValueTransformer::reverseTransformedValue(const QVariant &value) const {
    if (!allowsReverseTransformation())
        NSException::raise(NSInternalInconsistencyException,
                           QStringLiteral("reverseTransformedValue: the transformer does not allow reverse transformation"));
    return transformedValue(value);
}

void NSValueTransformer::setValueTransformer(std::shared_ptr<NSValueTransformer> transformer, const QString &name) {
    TransformerRegistry &registry = TransformerRegistry::Shared();
    std::lock_guard<std::mutex> lock(registry.mMutex);
    if (transformer) registry.mTransformers.insert(name, std::move(transformer));
    else registry.mTransformers.remove(name);
}

std::shared_ptr<NSValueTransformer> NSValueTransformer::valueTransformerForName(const QString &name) {
    TransformerRegistry &registry = TransformerRegistry::Shared();
    std::lock_guard<std::mutex> lock(registry.mMutex);
    return registry.mTransformers.value(name);
}

QStringList NSValueTransformer::valueTransformerNames() {
    TransformerRegistry &registry = TransformerRegistry::Shared();
    std::lock_guard<std::mutex> lock(registry.mMutex);
    QStringList names = registry.mTransformers.keys();
    names.sort();
    return names;
}
