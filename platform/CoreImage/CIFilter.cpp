#include <CoreImage/CIFilter.h>

#include <CoreImage/CIBuiltInFilters.h>

#include <algorithm>
#include <shared_mutex>

const char *const kCIInputImageKey = "inputImage";
const char *const kCIOutputImageKey = "outputImage";
const char *const kCIAttributeFilterName = "CIAttributeFilterName";
const char *const kCIAttributeFilterDisplayName = "CIAttributeFilterDisplayName";
const char *const kCIAttributeFilterCategories = "CIAttributeFilterCategories";
const char *const kCIAttributeTypeTime = "CIAttributeTypeTime";
const char *const kCIAttributeTypeScalar = "CIAttributeTypeScalar";
const char *const kCIAttributeTypeDistance = "CIAttributeTypeDistance";
const char *const kCIAttributeTypeAngle = "CIAttributeTypeAngle";
const char *const kCIAttributeTypeBoolean = "CIAttributeTypeBoolean";
const char *const kCIAttributeTypePosition = "CIAttributeTypePosition";
const char *const kCIAttributeTypeOffset = "CIAttributeTypeOffset";
const char *const kCIAttributeTypeRectangle = "CIAttributeTypeRectangle";
const char *const kCIAttributeTypeOpaqueColor = "CIAttributeTypeOpaqueColor";
const char *const kCIAttributeTypeColor = "CIAttributeTypeColor";
const char *const kCICategoryDistortionEffect = "CICategoryDistortionEffect";
const char *const kCICategoryGeometryAdjustment = "CICategoryGeometryAdjustment";
const char *const kCICategoryCompositeOperation = "CICategoryCompositeOperation";
const char *const kCICategoryColorAdjustment = "CICategoryColorAdjustment";
const char *const kCICategoryColorEffect = "CICategoryColorEffect";
const char *const kCICategoryStylize = "CICategoryStylize";
const char *const kCICategoryBlur = "CICategoryBlur";
const char *const kCICategoryGenerator = "CICategoryGenerator";
const char *const kCICategoryGradient = "CICategoryGradient";
const char *const kCICategoryVideo = "CICategoryVideo";
const char *const kCICategoryStillImage = "CICategoryStillImage";
const char *const kCICategoryInterlaced = "CICategoryInterlaced";
const char *const kCICategoryNonSquarePixels = "CICategoryNonSquarePixels";
const char *const kCICategoryBuiltIn = "CICategoryBuiltIn";

namespace {

struct Registration {
    CIFilter::Constructor constructor;
    CIFilterClassAttributes attributes;
};

struct Registry {
    std::shared_mutex mutex;
    std::map<std::string, Registration> filters;
};

// The registry lives to the end of the process; it starts with the built-in filters.
Registry &TheRegistry() {
    static Registry *registry = [] {
        auto *r = new Registry;
        for (CIBuiltInFilterRegistration &b : CIBuiltInFilterRegistrations())
            r->filters[b.name] = Registration{std::move(b.constructor), std::move(b.classAttributes)};
        return r;
    }();
    return *registry;
}

} // namespace

const CIInputAttributes *CIFilterAttributes::input(const std::string &key) const {
    for (const CIInputAttributes &a : inputs)
        if (a.key == key) return &a;
    return nullptr;
}

CIFilterRef CIFilter::filterWithName(const std::string &name) {
    Constructor constructor;
    {
        Registry &registry = TheRegistry();
        std::shared_lock lock(registry.mutex);
        auto it = registry.filters.find(name);
        if (it == registry.filters.end()) return nullptr;
        constructor = it->second.constructor;
    }
    CIFilterRef filter = constructor ? constructor(name) : nullptr;
    if (!filter) return nullptr;
    filter->setName(name);
    filter->setDefaults();
    return filter;
}

void CIFilter::registerFilterName(const std::string &name, Constructor constructor,
                                  CIFilterClassAttributes classAttributes) {
    Registry &registry = TheRegistry();
    std::unique_lock lock(registry.mutex);
    registry.filters[name] = Registration{std::move(constructor), std::move(classAttributes)};
}

std::vector<std::string> CIFilter::filterNamesInCategories(const std::vector<std::string> &categories) {
    Registry &registry = TheRegistry();
    std::shared_lock lock(registry.mutex);
    std::vector<std::string> names;
    for (const auto &[name, registration] : registry.filters) {
        const auto &own = registration.attributes.categories;
        const bool inAll = std::all_of(categories.begin(), categories.end(), [&](const std::string &c) {
            return std::find(own.begin(), own.end(), c) != own.end();
        });
        if (inAll) names.push_back(name);
    }
    return names;  // the map keeps them sorted
}

std::optional<CIFilterClassAttributes> CIFilter::classAttributesForName(const std::string &name) {
    Registry &registry = TheRegistry();
    std::shared_lock lock(registry.mutex);
    auto it = registry.filters.find(name);
    if (it == registry.filters.end()) return std::nullopt;
    return it->second.attributes;
}

CIFilter::~CIFilter() = default;

CIFilterAttributes CIFilter::attributes() const {
    CIFilterAttributes attributes;
    attributes.name = m_name;
    if (auto registered = classAttributesForName(m_name)) attributes.classAttributes = std::move(*registered);
    attributes.inputs = customAttributes();
    return attributes;
}

std::vector<std::string> CIFilter::inputKeys() const {
    std::vector<std::string> keys;
    for (const CIInputAttributes &a : customAttributes()) keys.push_back(a.key);
    return keys;
}

void CIFilter::setDefaults() {
    for (const CIInputAttributes &a : customAttributes())
        if (!std::holds_alternative<std::monostate>(a.defaultValue)) setValue(a.defaultValue, a.key);
}

void CIFilter::setValue(const CIFilterValue &value, const std::string &key) {
    std::lock_guard lock(m_mutex);
    if (std::holds_alternative<std::monostate>(value)) m_values.erase(key);
    else m_values[key] = value;
}

CIFilterValue CIFilter::valueForKey(const std::string &key) const {
    if (key == kCIOutputImageKey) return outputImage();
    std::lock_guard lock(m_mutex);
    auto it = m_values.find(key);
    return it == m_values.end() ? CIFilterValue{} : it->second;
}

CIImageRef CIFilter::imageForKey(const std::string &key) const {
    CIFilterValue v = valueForKey(key);
    const CIImageRef *image = std::get_if<CIImageRef>(&v);
    return image ? *image : nullptr;
}

double CIFilter::numberForKey(const std::string &key, double fallback) const {
    CIFilterValue v = valueForKey(key);
    const double *number = std::get_if<double>(&v);
    return number ? *number : fallback;
}

CIVector CIFilter::vectorForKey(const std::string &key, const CIVector &fallback) const {
    CIFilterValue v = valueForKey(key);
    const CIVector *vector = std::get_if<CIVector>(&v);
    return vector ? *vector : fallback;
}

CIColor CIFilter::colorForKey(const std::string &key, const CIColor &fallback) const {
    CIFilterValue v = valueForKey(key);
    const CIColor *color = std::get_if<CIColor>(&v);
    return color ? *color : fallback;
}

CGAffineTransform CIFilter::transformForKey(const std::string &key) const {
    CIFilterValue v = valueForKey(key);
    const CGAffineTransform *t = std::get_if<CGAffineTransform>(&v);
    return t ? *t : CGAffineTransformIdentity;
}
