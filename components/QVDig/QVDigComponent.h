// The component side of a digitizer: QVDIG_DATA_ComponentDispatch turns each Component
// Manager call into a virtual call on the digitizer object behind the instance storage.
//
// Dispatch table: selectors -4 to -1 (version, can-do, close, open) and 0x00 to 0x61 of
// range 0; each entry a routine and its parameter-layout code (Components.h). The marker
// kQVDigUnimplemented answers badComponentSelector; kQVDigNoErr answers 0 without a call.
//
// Opens are serialised: the class factory takes a try-lock and a re-entrancy count, so an
// open that arrives while another is under way fails at once with -50. Every other routine
// runs on the caller's thread; null storage answers -50.
#pragma once

#include <QVDig/QVDigDeviceBase.h>

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>

extern "C" __attribute__((visibility("default"))) ComponentResult QVDIG_DATA_ComponentDispatch(
    ComponentParameters *params, Handle storage);

struct tagQVDIG_DATA_Entry {
    intptr_t routine;  // a ProcPtr, or one of the markers
    ProcInfoType layout;
};

enum : intptr_t {
    kQVDigUnimplemented = -1,
    kQVDigNoErr = -2,
};

struct tagQVDIG_DATA {
    static constexpr int kNegativeCount = 4;
    static constexpr int kRange0Count = 98;
    tagQVDIG_DATA_Entry negative[kNegativeCount];  // selectors -4 to -1
    tagQVDIG_DATA_Entry range0[kRange0Count];      // selectors 0x00 to 0x61
};

const tagQVDIG_DATA &QVDIG_DATA_Table();

// The routine of the selector and its layout code; null when the selector has no entry.
intptr_t QVDIG_DATA_FindRoutineUPP(long selector, ProcInfoType *layout);
ComponentResult QVDIG_DATA_CanDo(Handle storage, short selector);
ComponentResult QVDIG_DATA_Open(Handle storage, ComponentInstance self);
ComponentResult QVDIG_DATA_Close(Handle storage, ComponentInstance self);
ComponentResult QVDIG_DATA_Version(Handle storage);
ComponentResult QVDIG_DATA_OpenInitialize(Handle storage);

// Supplied by each component (its module, or a test program):
namespace QVDigComponent {
// A new digitizer of the component's device (T_VideoDigitizerWithMultipleDeviceInputs).
QVDigDeviceBase *NewDigitizer();
// Whether this host process may load the component (StandardCameraGate for a camera).
bool HostMayLoad();
}  // namespace QVDigComponent

// The bundle identifiers of the hosts that may open the components (null-terminated).
extern const char *sIncludeList[];

// A list of bundle identifiers and the main bundle's identifier, taken once at construction.
class CoreBundleyes {
public:
    CoreBundleyes(const char *const *list, CFStringRef mainIdentifier);
    ~CoreBundleyes();
    CoreBundleyes(const CoreBundleyes &) = delete;
    CoreBundleyes &operator=(const CoreBundleyes &) = delete;
    // The main identifier equals a list entry, ignoring letter case. False without one.
    bool IsMainMember() const;
    // The list built from sIncludeList and the main bundle's identifier, made once.
    static const CoreBundleyes &Shared();

private:
    const char *const *mList;
    CFStringRef mMainIdentifier;
};

namespace QVDigComponent {
// The camera gate: the host is not sandboxed or holds the camera entitlement, the system is
// new enough, and the host's bundle identifier is on the include list.
bool StandardCameraGate();
// The number of opens under way in the factory (for tests: 0 when idle).
int OpensUnderWay();
}  // namespace QVDigComponent
