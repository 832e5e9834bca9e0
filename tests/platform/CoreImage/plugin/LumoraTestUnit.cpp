// The image unit of the loader's tests, built as a MODULE into
// <local Library>/Graphics/Image Units/LumoraTestTint.plugin/Contents/Linux/LumoraTestTint.
//
// It exports only its entry points: CIPlugInLoaderInitFunc and one factory per principal
// class. The tests copy the executable into bundles of their own, whose Info.plist names one of
// the classes:
//   LumoraTestTintUnit      registers "LumoraTestTint" (the image times inputColor); it answers
//                           false unless CIPlugInLoaderInitFunc ran before it
//   LumoraTestCountingUnit  registers "<executable's file name>.<n>" (the same filter), n
//                           counting the loads of this copy: a bundle's name, then how often
//                           its code was asked to load
//   LumoraTestRefusingUnit  registers nothing and answers false
//   LumoraTestThrowingUnit  throws from its load
//   LumoraTestReentrantUnit asks the loader for its own bundle while it loads and registers
//                           "<executable's file name>.inner-<0 or 1>" (that answer)
// Its Core Image symbols bind to the host program's at load time.

// The host's classes keep their default visibility; only this unit's own code is hidden.
#pragma GCC visibility push(default)
#include <CoreFoundation/CFURL.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIKernel.h>
#include <CoreImage/CIPlugIn.h>
#pragma GCC visibility pop

#include <atomic>
#include <dlfcn.h>
#include <stdexcept>
#include <string>

#define LUMORA_UNIT_EXPORT extern "C" __attribute__((visibility("default")))

LUMORA_UNIT_EXPORT void CIPlugInLoaderInitFunc(void);

namespace {

// The path of this executable ("" when unknown).
std::string OwnPath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void *>(&CIPlugInLoaderInitFunc), &info) == 0 || info.dli_fname == nullptr) return {};
    return info.dli_fname;
}

std::string OwnFileName() {
    std::string file = OwnPath();
    return file.empty() ? file : file.erase(0, file.find_last_of('/') + 1);
}

std::atomic<bool> gInitialised{false};
std::atomic<int> gCountedLoads{0};

class LumoraTestTint final : public CIFilter {
public:
    static CIKernelRef kernel() {
        static const CIKernelRef kernel = [] {
            auto kernels = CIKernel::kernelsWithString(
                "kernel vec4 lumoraTestTint(sampler image, __color tint) { return sample(image, samplerCoord(image)) * tint; }");
            return kernels.empty() ? nullptr : kernels.front();
        }();
        return kernel;
    }

    CIImageRef outputImage() const override {
        CIImageRef image = imageForKey(kCIInputImageKey);
        CIKernelRef k = kernel();
        if (!image || !k) return nullptr;
        CISampler sampler(image);
        CIApplyOptions options;
        options.definition = image->definition();
        return k->apply({sampler, colorForKey("inputColor")}, options);
    }

    std::vector<CIInputAttributes> customAttributes() const override {
        CIInputAttributes image;
        image.key = kCIInputImageKey;
        image.className = "CIImage";
        CIInputAttributes color;
        color.key = "inputColor";
        color.className = "CIColor";
        color.type = kCIAttributeTypeOpaqueColor;
        color.defaultValue = CIColor::colorWithRed(1.0, 0.5, 0.25, 1.0);
        return {image, color};
    }
};

void Register(const std::string &name) {
    CIFilter::registerFilterName(
        name, [](const std::string &) -> CIFilterRef { return std::make_shared<LumoraTestTint>(); },
        CIFilterClassAttributes{"Lumora Test Tint", {kCICategoryColorEffect, kCICategoryVideo}});
}

class TintUnit final : public CIPlugInRegistration {
public:
    bool load(void *) override {
        if (!gInitialised.load()) return false;
        Register("LumoraTestTint");
        return true;
    }
};

class CountingUnit final : public CIPlugInRegistration {
public:
    bool load(void *) override {
        const std::string file = OwnFileName();
        if (file.empty()) return false;
        Register(file + "." + std::to_string(++gCountedLoads));
        return true;
    }
};

class RefusingUnit final : public CIPlugInRegistration {
public:
    bool load(void *) override { return false; }
};

class ReentrantUnit final : public CIPlugInRegistration {
public:
    bool load(void *) override {
        std::string bundle = OwnPath();   // <bundle>/Contents/Linux/<name>
        for (int i = 0; i < 3 && !bundle.empty(); ++i) bundle.erase(bundle.find_last_of('/'));
        if (bundle.empty()) return false;
        CFURLRef url = CFURLCreateFromFileSystemRepresentation(
            kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bundle.data()), CFIndex(bundle.size()), true);
        const bool inner = CIPlugIn::loadPlugIn(url, true);
        CFRelease(url);
        Register(OwnFileName() + ".inner-" + (inner ? "1" : "0"));
        return true;
    }
};

class ThrowingUnit final : public CIPlugInRegistration {
public:
    bool load(void *) override { throw std::runtime_error("the test unit throws"); }
};

}  // namespace

void CIPlugInLoaderInitFunc(void) { gInitialised = true; }
LUMORA_UNIT_EXPORT CIPlugInRegistration *LumoraTestTintUnit_create(void) { return new TintUnit; }
LUMORA_UNIT_EXPORT CIPlugInRegistration *LumoraTestCountingUnit_create(void) { return new CountingUnit; }
LUMORA_UNIT_EXPORT CIPlugInRegistration *LumoraTestRefusingUnit_create(void) { return new RefusingUnit; }
LUMORA_UNIT_EXPORT CIPlugInRegistration *LumoraTestThrowingUnit_create(void) { return new ThrowingUnit; }
LUMORA_UNIT_EXPORT CIPlugInRegistration *LumoraTestReentrantUnit_create(void) { return new ReentrantUnit; }
