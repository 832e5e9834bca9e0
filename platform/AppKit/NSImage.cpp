#include <AppKit/NSImage.h>

#include <QImage>

#include <algorithm>

std::shared_ptr<NSImage> NSImage::imageWithQImage(const QImage &image) {
    auto rep = NSBitmapImageRep::imageRepWithQImage(image);
    if (!rep) return nullptr;
    auto result = std::make_shared<NSImage>();
    result->addRepresentation(std::move(rep));
    return result;
}

void NSImage::addRepresentation(std::shared_ptr<NSBitmapImageRep> representation) {
    if (representation) mRepresentations.push_back(std::move(representation));
}

void NSImage::removeRepresentation(const NSBitmapImageRep *representation) {
    mRepresentations.erase(std::remove_if(mRepresentations.begin(), mRepresentations.end(),
                                          [&](const auto &held) { return held.get() == representation; }),
                           mRepresentations.end());
}

NSSize NSImage::size() const {
    if (mSizeSet) return mSize;
    if (!mRepresentations.empty()) return mRepresentations.front()->size();
    return NSSize{0, 0};
}
