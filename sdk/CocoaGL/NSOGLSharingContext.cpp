#include <CocoaGL/NSOGLSharingContext.h>

#include <mutex>
#include <vector>

namespace {

using PoolMember = std::shared_ptr<NSOGLOffscreenContextWithCGLNoBacking>;

// The class's synchronisation: guards the pool's storing and its cursor.
std::mutex gClassLock;
// Never destroyed: its members keep their contexts for the life of the process.
const std::vector<PoolMember> *gPool = nullptr;
unsigned gCursor = 0;

}  // namespace

std::shared_ptr<NSOpenGLPixelFormat> NSOGLSharingContext::defaultSharedPixelFormat() {
    return NSOGLOffscreenContextBase::sharedOpenGLPixelFormat();
}

std::shared_ptr<NSOpenGLPixelFormat> NSOGLSharingContext::defaultTexturePixelFormat() {
    return NSOGLOffscreenContextBase::defaultTexturePixelFormat();
}

std::shared_ptr<NSOpenGLPixelFormat> NSOGLSharingContext::defaultSharedPixelFormat(bool pbuffer) {
    return pbuffer ? NSOGLOffscreenContextBase::defaultPBufferPixelFormat() : defaultSharedPixelFormat();
}

std::shared_ptr<NSOpenGLContext> NSOGLSharingContext::rootSharingContext() {
    return NSOGLOffscreenContextBase::rootSharedOpenGLContext();
}

std::shared_ptr<NSOGLOffscreenContextWithCGLNoBacking> NSOGLSharingContext::createOffscreenContextObject(
    CGDirectDisplayID displayID) {
    return NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLNoBacking>(
        displayID, kNSOGLSharingContextRoleSharesRoot);
}

std::shared_ptr<NSOGLOffscreenContextWithCGLNoBacking> NSOGLSharingContext::offscreenContextObject() {
    return createOffscreenContextObject(CGMainDisplayID());
}

std::shared_ptr<NSOpenGLContext> NSOGLSharingContext::offscreenPoolContext() {
    std::shared_ptr<NSOpenGLContext> result = rootSharingContext();
    static std::once_flag built;
    std::call_once(built, [] {
        auto *members = new std::vector<PoolMember>;
        for (unsigned slot = 0; slot < kPoolSize; ++slot) {
            PoolMember member = createOffscreenContextObject(CGMainDisplayID());
            if (member != nullptr && member->openGLContext() != nullptr) members->push_back(std::move(member));
        }
        std::lock_guard<std::mutex> guard(gClassLock);
        gPool = members;
    });
    std::lock_guard<std::mutex> guard(gClassLock);
    if (gPool != nullptr) {
        const unsigned slot = gCursor;
        gCursor = gCursor + 1 >= kPoolSize ? 0 : gCursor + 1;
        if (slot < gPool->size()) result = (*gPool)[slot]->openGLContext();
    }
    return result;
}

bool import_NSOGLSharingContext() { return import_NSOGLOffscreenContextBase(); }
