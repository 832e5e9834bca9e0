// Trees: a retained value and a vector of retained children.
#include <CoreFoundation/CFTree.h>
#include <CoreFoundation/CFXMLInternal.h>
#include <CoreFoundation/CFRuntime.h>

#include <utility>
#include <vector>

struct __CFTree final : cf::Object {
    explicit __CFTree(CFTypeRef value) : cf::Object(CFTreeGetTypeID()), mValue(value ? CFRetain(value) : nullptr) {}

    // Children are released without recursion: a child whose last reference this was hands
    // its own children to the same list before it is deleted, so a deep tree cannot
    // exhaust the stack.
    ~__CFTree() override {
        std::vector<__CFTree *> pending = std::move(mChildren);
        while (!pending.empty()) {
            __CFTree *child = pending.back();
            pending.pop_back();
            if (!child->release()) continue;
            pending.insert(pending.end(), child->mChildren.begin(), child->mChildren.end());
            child->mChildren.clear();
            delete child;
        }
        if (mValue != nullptr) CFRelease(mValue);
    }

    const CFTypeRef mValue;
    std::vector<__CFTree *> mChildren;
};

CFTypeID CFTreeGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFTree");
    return type;
}

namespace {

__CFTree *Tree(CFTreeRef tree) { return cf::As<__CFTree>(tree, CFTreeGetTypeID()); }

}  // namespace

CFIndex CFTreeGetChildCount(CFTreeRef tree) {
    const __CFTree *object = Tree(tree);
    return object ? CFIndex(object->mChildren.size()) : 0;
}

CFTreeRef CFTreeGetChildAtIndex(CFTreeRef tree, CFIndex idx) {
    const __CFTree *object = Tree(tree);
    if (object == nullptr || idx < 0 || size_t(idx) >= object->mChildren.size()) return nullptr;
    return object->mChildren[size_t(idx)];
}

namespace cf {

CFTreeRef CreateTree(CFTypeRef value) { return new __CFTree(value); }

void AppendChild(CFTreeRef parent, CFTreeRef child) {
    __CFTree *object = Tree(parent);
    __CFTree *added = Tree(child);
    if (object == nullptr || added == nullptr) return;
    added->retain();
    object->mChildren.push_back(added);
}

CFTypeRef TreeValue(CFTreeRef tree) {
    const __CFTree *object = Tree(tree);
    return object ? object->mValue : nullptr;
}

}  // namespace cf
