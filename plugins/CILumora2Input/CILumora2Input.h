// CILumora2Input: the image unit that shows, in any host of the Core Image layer, the frame
// Lumora is sharing now. Its one filter, "CILumora2Input", is a generator: set "inputClock"
// (any number, each frame) and read the output image, which is made directly on the shared
// surface the application drew last (640 x 480), or the unit's placeholder picture while no
// frame is available.
//
// The bundle CILumora2Input.plugin (identifier "com.tarvex.CILumora2Input") carries its
// placeholder as the image resource "CILumora2Input" and a kernel resource "CIKernel" of type
// "cikernel". The unit loads only into hosts that are not sandboxed.
#pragma once

#include "CILumora2InputClassNames.h"

#include <CoreImage/CIFilter.h>
#include <CoreImage/CIKernel.h>
#include <CoreImage/CIPlugIn.h>

#include <mutex>
#include <string>

class UCodeEntitlements;

inline constexpr const char *kCILumora2InputFilterName = "CILumora2Input";
inline constexpr const char *kCILumora2InputBundleIdentifier = "com.tarvex.CILumora2Input";
inline constexpr const char *kCILumora2InputClockKey = "inputClock";

// What a filter asks of its handle on the shared camera frames.
class VSharedCameraBufferProtocol {
public:
    virtual ~VSharedCameraBufferProtocol() = default;
    // Makes the frame of this moment available; counts the handle in at its first call.
    virtual bool readCurrentCameraFrame() = 0;
    // An image on the shared surface, or null when there is none (yet).
    virtual CIImageRef fastestCoreImage() = 0;
};

// One filter's handle on the process's sharing client: it counts itself in at its first read
// and out when it goes.
class CILumora2Input_VSharedCameraBuffer final : public VSharedCameraBufferProtocol {
public:
    CILumora2Input_VSharedCameraBuffer();
    ~CILumora2Input_VSharedCameraBuffer() override;
    CILumora2Input_VSharedCameraBuffer(const CILumora2Input_VSharedCameraBuffer &) = delete;
    CILumora2Input_VSharedCameraBuffer &operator=(const CILumora2Input_VSharedCameraBuffer &) = delete;

    // Whether the unit may load into this host: not sandboxed (a system before the sandbox, or
    // no true "com.apple.security.app-sandbox" entitlement), or no entitlements at all.
    static bool canLoadPlugInGivenHostApplicationRestrictions();
    static bool canLoadPlugInGivenEntitlements(const UCodeEntitlements &entitlements);

    bool readCurrentCameraFrame() override;
    CIImageRef fastestCoreImage() override;
    bool clientConnected() const;

private:
    mutable std::mutex mMutex;
    bool mClientConnected = false;
};

class CILumora2Input final : public CIFilter {
public:
    CILumora2Input();
    ~CILumora2Input() override;

    static bool canLoadClassInRuntimeEnvironment();
    // Registers the filter's name.
    static void registerFilter();

    // Setting "inputClock" keeps the number and takes the latest shared frame.
    void setValue(const CIFilterValue &value, const std::string &key) override;
    // The latest shared frame, else the placeholder (null when the unit has none).
    CIImageRef outputImage() const override;
    std::vector<CIInputAttributes> customAttributes() const override;

    CIImageRef cachedCameraImage() const;
    CIImageRef noCameraImage() const { return mNoCameraImage; }
    VSharedCameraBufferProtocol &cameraBuffer() { return *mCameraBuffer; }

    // The kernel of the unit's "CIKernel" resource, built once per process (null when the
    // resource is missing or does not translate).
    static CIKernelRef bundleKernel();
    // The folder of the unit's bundle ("" when this code does not run from one).
    static std::string bundlePath();

private:
    std::unique_ptr<VSharedCameraBufferProtocol> mCameraBuffer;
    CIImageRef mNoCameraImage;
    mutable std::mutex mCachedImageLock;
    CIImageRef mCachedCameraImage;
};

// The unit's principal class.
class CILumora2InputLoader final : public CIPlugInRegistration {
public:
    // Registers the filter when the host allows the unit; false (the unit is skipped) when not.
    bool load(void *host) override;
};
