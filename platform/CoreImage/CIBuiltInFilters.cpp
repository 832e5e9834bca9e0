#include <CoreImage/CIBuiltInFilterSupport.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace CoreImage::BuiltIn {

CIInputAttributes ImageInput(const char *key, const char *displayName) {
    CIInputAttributes a;
    a.key = key;
    a.className = "CIImage";
    a.displayName = displayName;
    return a;
}

CIInputAttributes NumberInput(const char *key, const char *type, const char *displayName, double defaultValue,
                              Range range) {
    CIInputAttributes a;
    a.key = key;
    a.className = "NSNumber";
    a.type = type;
    a.displayName = displayName;
    a.min = range.min;
    a.max = range.max;
    a.sliderMin = range.sliderMin;
    a.sliderMax = range.sliderMax;
    a.identity = range.identity;
    a.defaultValue = defaultValue;
    return a;
}

CIInputAttributes VectorInput(const char *key, const char *type, const char *displayName, CIVector defaultValue) {
    CIInputAttributes a;
    a.key = key;
    a.className = "CIVector";
    a.type = type;
    a.displayName = displayName;
    a.defaultValue = defaultValue;
    return a;
}

CIInputAttributes ColorInput(const char *key, const char *displayName, CIColor defaultValue) {
    CIInputAttributes a;
    a.key = key;
    a.className = "CIColor";
    a.type = kCIAttributeTypeColor;
    a.displayName = displayName;
    a.defaultValue = defaultValue;
    return a;
}

CIInputAttributes TransformInput(const char *key, const char *displayName) {
    CIInputAttributes a;
    a.key = key;
    a.className = "NSAffineTransform";
    a.displayName = displayName;
    a.defaultValue = CGAffineTransformIdentity;
    return a;
}

CIImageRef Filter::image(const char *key) const { return imageForKey(key); }

std::optional<double> Filter::number(const char *key) const {
    const CIFilterValue value = valueForKey(key);
    const double *n = std::get_if<double>(&value);
    if (!n || !std::isfinite(*n)) return std::nullopt;
    double v = *n;
    for (const CIInputAttributes &a : m_inputs) {
        if (a.key != key) continue;
        if (auto lo = a.min ? a.min : a.sliderMin) v = std::max(v, *lo);
        if (auto hi = a.max ? a.max : a.sliderMax) v = std::min(v, *hi);
        break;
    }
    return v;
}

std::optional<CIVector> Filter::vector(const char *key, size_t count) const {
    const CIFilterValue value = valueForKey(key);
    const CIVector *v = std::get_if<CIVector>(&value);
    if (!v || v->count() < count) return std::nullopt;
    for (size_t i = 0; i < v->count(); ++i)
        if (!std::isfinite(v->valueAtIndex(i))) return std::nullopt;
    return *v;
}

std::optional<CIColor> Filter::color(const char *key) const {
    const CIFilterValue value = valueForKey(key);
    const CIColor *c = std::get_if<CIColor>(&value);
    if (!c || !std::isfinite(c->red()) || !std::isfinite(c->green()) || !std::isfinite(c->blue()) ||
        !std::isfinite(c->alpha()))
        return std::nullopt;
    return *c;
}

std::optional<CGAffineTransform> Filter::transform(const char *key) const {
    const CIFilterValue value = valueForKey(key);
    const CGAffineTransform *t = std::get_if<CGAffineTransform>(&value);
    if (!t) return std::nullopt;
    for (double v : {t->a, t->b, t->c, t->d, t->tx, t->ty})
        if (!std::isfinite(v)) return std::nullopt;
    return *t;
}

CIKernelRef KernelNamed(const std::vector<CIKernelRef> &kernels, std::string_view name) {
    for (const CIKernelRef &k : kernels)
        if (k->name() == name) return k;
    return nullptr;
}

std::vector<CIKernelRef> TranslateBuiltInKernels(const char *text) {
    CIKernelError error;
    std::vector<CIKernelRef> kernels = CIKernel::kernelsWithString(text, &error);
    if (kernels.empty())
        std::fprintf(stderr, "Core Image: a built-in kernel text does not translate (line %d: %s)\n", error.line,
                     error.message.c_str());
    return kernels;
}

CIVector ColorVector(const CIColor &color) { return CIVector{color.red(), color.green(), color.blue(), color.alpha()}; }

CGRect Grow(CGRect rect, double dx, double dy) {
    if (CGRectIsNull(rect)) return rect;
    return CGRectInset(rect, -dx, -dy);
}

CGRect Union(CGRect a, CGRect b) {
    if (CGRectIsNull(a)) return b;
    if (CGRectIsNull(b)) return a;
    a = CGRectStandardize(a);
    b = CGRectStandardize(b);
    const double x0 = std::min(a.origin.x, b.origin.x), y0 = std::min(a.origin.y, b.origin.y);
    const double x1 = std::max(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const double y1 = std::max(a.origin.y + a.size.height, b.origin.y + b.size.height);
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

} // namespace CoreImage::BuiltIn

std::vector<CIBuiltInFilterRegistration> CIBuiltInFilterRegistrations() {
    using namespace CoreImage::BuiltIn;
    std::vector<CIBuiltInFilterRegistration> all;
    AddColorFilters(all);
    AddBlurFilters(all);
    AddGeometryFilters(all);
    AddCompositeFilters(all);
    AddGenerators(all);
    return all;
}
