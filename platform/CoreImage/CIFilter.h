// CIFilter: a named image operation with key-value inputs and an output image.
//
// Filters are found by name in a process-wide registry (built-in filters, the application's
// own and those of image units register there), made fresh for each use, given their inputs
// by key, and asked for "outputImage", a recipe. A filter describes itself through its
// attributes: its name, display name and categories, and for each input its class, type,
// range and default.
//
//     auto blur = CIFilter::filterWithName("CIGaussianBlur");   // defaults already set
//     blur->setValue(image, kCIInputImageKey);
//     blur->setValue(4.0, "inputRadius");
//     CIImageRef out = blur->outputImage();
//
// Subclasses list their inputs in `customAttributes()` and answer `outputImage()`; the base
// class keeps the values (setValue/valueForKey) and fills the defaults.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <CoreImage/CIColor.h>
#include <CoreImage/CIImage.h>
#include <CoreImage/CIVector.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class CIFilter;
using CIFilterRef = std::shared_ptr<CIFilter>;

// An input's value: nothing, a number, a vector, a colour, an image, a text or a transform.
using CIFilterValue = std::variant<std::monostate, double, CIVector, CIColor, CIImageRef, std::string, CGAffineTransform>;

// Keys and names of attributes.
extern const char *const kCIInputImageKey;            // "inputImage"
extern const char *const kCIOutputImageKey;           // "outputImage"
extern const char *const kCIAttributeFilterName;      // "CIAttributeFilterName"
extern const char *const kCIAttributeFilterDisplayName;
extern const char *const kCIAttributeFilterCategories;
// Input classes: "CIImage", "NSNumber", "CIVector", "CIColor", "NSAffineTransform", "NSString".
// Input types.
extern const char *const kCIAttributeTypeTime;
extern const char *const kCIAttributeTypeScalar;
extern const char *const kCIAttributeTypeDistance;
extern const char *const kCIAttributeTypeAngle;
extern const char *const kCIAttributeTypeBoolean;
extern const char *const kCIAttributeTypePosition;
extern const char *const kCIAttributeTypeOffset;
extern const char *const kCIAttributeTypeRectangle;
extern const char *const kCIAttributeTypeOpaqueColor;
extern const char *const kCIAttributeTypeColor;
// Categories.
extern const char *const kCICategoryDistortionEffect;
extern const char *const kCICategoryGeometryAdjustment;
extern const char *const kCICategoryCompositeOperation;
extern const char *const kCICategoryColorAdjustment;
extern const char *const kCICategoryColorEffect;
extern const char *const kCICategoryStylize;
extern const char *const kCICategoryBlur;
extern const char *const kCICategoryGenerator;
extern const char *const kCICategoryGradient;
extern const char *const kCICategoryVideo;
extern const char *const kCICategoryStillImage;
extern const char *const kCICategoryInterlaced;
extern const char *const kCICategoryNonSquarePixels;
extern const char *const kCICategoryBuiltIn;

// What one input is: its key, class (one of the class names above), type, numeric range
// (kCIAttributeMin/Max, SliderMin/SliderMax, Identity) and default.
struct CIInputAttributes {
    std::string key;
    std::string className;
    std::string type;
    std::string displayName;
    std::optional<double> min, max, sliderMin, sliderMax, identity;
    CIFilterValue defaultValue;
};

// What a filter's class says of itself when it registers (kCIAttributeFilterDisplayName,
// kCIAttributeFilterCategories).
struct CIFilterClassAttributes {
    std::string displayName;
    std::vector<std::string> categories;
};

// The whole description of a filter: its name, its class attributes and its inputs.
struct CIFilterAttributes {
    std::string name;
    CIFilterClassAttributes classAttributes;
    std::vector<CIInputAttributes> inputs;
    // The input of that key, or null.
    const CIInputAttributes *input(const std::string &key) const;
};

class CIFilter : public std::enable_shared_from_this<CIFilter> {
public:
    // Makes a filter for the name it was registered under (the constructor gets the name).
    using Constructor = std::function<CIFilterRef(const std::string &name)>;

    // A new filter of that name with its defaults set; null for a name nobody registered or a
    // constructor that gives nothing.
    static CIFilterRef filterWithName(const std::string &name);
    // Registers (or registers again, replacing) a name. Thread-safe.
    static void registerFilterName(const std::string &name, Constructor constructor,
                                   CIFilterClassAttributes classAttributes);
    // The names registered in every one of the categories (all names for an empty list),
    // sorted.
    static std::vector<std::string> filterNamesInCategories(const std::vector<std::string> &categories);
    // The class attributes a name was registered with.
    static std::optional<CIFilterClassAttributes> classAttributesForName(const std::string &name);

    virtual ~CIFilter();

    // The name the filter was made under ("" for one made directly).
    const std::string &name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }

    // The inputs of the filter (from customAttributes) with the name and class attributes.
    CIFilterAttributes attributes() const;
    std::vector<std::string> inputKeys() const;
    std::vector<std::string> outputKeys() const { return {kCIOutputImageKey}; }
    // Sets every input that has a default to it.
    virtual void setDefaults();

    // Input values by key. Setting a key that is no input still stores it (subclasses may
    // read any key); valueForKey("outputImage") answers the output image.
    virtual void setValue(const CIFilterValue &value, const std::string &key);
    virtual CIFilterValue valueForKey(const std::string &key) const;
    // Typed reads of an input: the value, or the fallback when it is absent or of another type.
    CIImageRef imageForKey(const std::string &key) const;
    double numberForKey(const std::string &key, double fallback = 0) const;
    CIVector vectorForKey(const std::string &key, const CIVector &fallback = {}) const;
    CIColor colorForKey(const std::string &key, const CIColor &fallback = {}) const;
    CGAffineTransform transformForKey(const std::string &key) const;

    // The result of the inputs as they are now; null when an input it needs is missing.
    virtual CIImageRef outputImage() const = 0;
    // The filter's inputs (every key with its class, type, range and default).
    virtual std::vector<CIInputAttributes> customAttributes() const = 0;

protected:
    CIFilter() = default;

private:
    std::string m_name;
    mutable std::mutex m_mutex;
    std::map<std::string, CIFilterValue> m_values;
};
