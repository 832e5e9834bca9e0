#include <CoreX/CoreSystem.h>

#include <atomic>

#include <Carbon/Carbon.h>
#include <CoreX/CFBaseDLL.h>
#include <CoreX/CoreMachDebugLog.h>

namespace {

// Concurrent first calls may both ask Gestalt; they store the same answer.
constinit std::atomic<SInt32> cachedGestaltVersionValue{0};

}  // namespace

SInt32 CoreSystem::GetVersion() {
    SInt32 version = cachedGestaltVersionValue.load(std::memory_order_acquire);
    if (version != 0) return version;
    SInt32 cachedGestaltVersion = 0;
    if (VERIFY_OSERR(Gestalt(gestaltSystemVersion, &cachedGestaltVersion)) != noErr) return 0;
    cachedGestaltVersionValue.store(cachedGestaltVersion, std::memory_order_release);
    return cachedGestaltVersion;
}

bool CoreSystem::IsEarlierThanRevision(const CoreSystemName &revision) {
    return GetVersion() < revision.mVersion;
}

bool CoreSystem::IsAtLeast(const CoreSystemName &revision) { return GetVersion() >= revision.mVersion; }

bool CoreSystem::SystemFrameworkHasFunction(CFStringRef framework, CFStringRef function) {
    if (framework == nullptr || function == nullptr) return false;
    T_CFBaseDLL<I_CFBundleDLL> handle(framework);
    if (!handle.LoadSystemFramework()) return false;
    return handle.FunctionPointerForName(function) != nullptr;
}

bool import_CoreSystem() { return import_CFBaseDLL() && import_CoreMachDebugLog(); }
