#include "NSUICamBroadcastControlUDP.h"

#include "shared_vdig_bundle.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUICamBroadcastControlUDP);

NSUICamBroadcastControlUDP::NSUICamBroadcastControlUDP(QWidget *parent) : NSUITargetActionView(parent) {}

NSUICamBroadcastControlUDP::~NSUICamBroadcastControlUDP() = default;

bool NSUICamBroadcastControlUDP::hasSharedMemoryCameraOutputComponent() { return true; }

void NSUICamBroadcastControlUDP::setBroadcastEnabled(bool enabled) {
    const bool previous = mBroadcastEnabled.exchange(enabled, std::memory_order_acq_rel);
    updateSharedLibraryBroadcastingState();
    if (previous != enabled) emit broadcastEnabledChanged();
}

void NSUICamBroadcastControlUDP::updateSharedLibraryBroadcastingState() {}

void NSUICamBroadcastControlUDP::broadcastButtonChanged(QObject *) {
    if (mRebroadcastButton.isNull()) return;
    bool enabled = mBroadcastEnabled.load(std::memory_order_relaxed);
    while (!mBroadcastEnabled.compare_exchange_weak(enabled, !enabled, std::memory_order_acq_rel)) {
    }
    updateSharedLibraryBroadcastingState();
    emit broadcastEnabledChanged();
}

void NSUICamBroadcastControlUDP::applicationDidFinishLaunching(const NSNotification &) { startBroadcasting(); }

void NSUICamBroadcastControlUDP::applicationWillTerminate(const NSNotification &) { stopBroadcasting(); }

void NSUICamBroadcastControlUDP::startBroadcasting() { installQuickTimeComponentSymbolicLink(); }

void NSUICamBroadcastControlUDP::stopBroadcasting() { removeQuickTimeComponentSymbolicLink(); }

bool NSUICamBroadcastControlUDP::installQuickTimeComponentSymbolicLink() {
    const bool installed = shared_vdig_bundle::Shared().InstallLocalLibraryQuickTime(true);
    VERIFY_TEXT(installed, " code : TARVEX_InstallLocalLibraryQuickTime(1)");
    return installed;
}

bool NSUICamBroadcastControlUDP::removeQuickTimeComponentSymbolicLink() {
    const bool removed = shared_vdig_bundle::Shared().InstallLocalLibraryQuickTime(false);
    VERIFY_TEXT(removed, " code : TARVEX_InstallLocalLibraryQuickTime(0)");
    return removed;
}

bool import_NSUICamBroadcastControlUDP() { return import_NSUITargetActionView() && import_shared_vdig_bundle(); }
