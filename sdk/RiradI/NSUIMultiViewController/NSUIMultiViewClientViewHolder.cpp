#include <NSUIMultiViewController/NSUIMultiViewClientViewHolder.h>

#include <CoreG/Drawing/namespace_CoreGraphics_ScaledRoundRect.h>
#include <CoreX/CoreMachDebugLog.h>
#include <AppKit/NSBitmapImageRep.h>
#include <AppKit/NSGraphicsContext.h>
#include <Foundation/NSObjCRuntime.h>

#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>

#include <atomic>
#include <cmath>
#include <cstdint>

NS_REGISTER_CLASS(NSUIMultiViewClientViewHolder);

namespace {

std::atomic<int> sInstanceCounter{0};

// Restores the current graphics context and its state however the drawing ends.
struct SavedGraphicsState {
    SavedGraphicsState() { NSGraphicsContext::saveGraphicsState(); }
    ~SavedGraphicsState() { NSGraphicsContext::restoreGraphicsState(); }
    SavedGraphicsState(const SavedGraphicsState &) = delete;
    SavedGraphicsState &operator=(const SavedGraphicsState &) = delete;
};

}  // namespace

NSUIMultiViewClientViewHolder::NSUIMultiViewClientViewHolder(QWidget *parent) : NSUIViewHolder(parent) {
    NSUIMultiViewClientViewHolder::initViewAttributes();
}

NSUIMultiViewClientViewHolder::~NSUIMultiViewClientViewHolder() = default;

void NSUIMultiViewClientViewHolder::initViewAttributes() {
    NSUIViewHolder::initViewAttributes();
    mInstanceNumber = sInstanceCounter.fetch_add(1);
    mMultiViewID = static_cast<uint>((reinterpret_cast<std::uintptr_t>(this) >> 8) & 0xFF);
}

QString NSUIMultiViewClientViewHolder::multiViewTitle() const {
    return toolTip().isEmpty() ? QString::number(mInstanceNumber) : toolTip();
}

void NSUIMultiViewClientViewHolder::setMultiViewID(uint multiViewID) {
    mMultiViewID = multiViewID;
    emit multiViewTitleChanged();
}

std::shared_ptr<NSImage> NSUIMultiViewClientViewHolder::multiViewIconImage() const {
    return defaultIconImageWithTitle(multiViewTitle());
}

void NSUIMultiViewClientViewHolder::setOutletMultiViewController(QObject *host) {
    setHostViewController(host);
    if (auto *controller = dynamic_cast<NSUIMultiViewControllerProtocol *>(host))
        controller->registerMultiViewClient(this);
}

QString NSUIMultiViewClientViewHolder::description() const {
    return QStringLiteral("%1 {%2:'%3'}")
        .arg(NSStringFromClass(metaObject()))
        .arg(mMultiViewID, 2, 10, QLatin1Char('0'))
        .arg(multiViewTitle());
}

bool NSUIMultiViewClientViewHolder::event(QEvent *event) {
    const bool handled = NSUIViewHolder::event(event);
    if (event->type() == QEvent::ToolTipChange) emit multiViewTitleChanged();
    return handled;
}

std::shared_ptr<NSImage> NSUIMultiViewClientViewHolder::defaultIconImageWithTitle(const QString &title) {
    constexpr long kSide = 32;
    std::shared_ptr<NSBitmapImageRep> bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(
        nullptr, kSide, kSide, 8, 4, true, false, NSDeviceRGBColorSpace, NSBitmapFormat(0), 0, 0);
    std::shared_ptr<NSGraphicsContext> context = NSGraphicsContext::graphicsContextWithBitmapImageRep(bitmap);
    if (bitmap == nullptr || context == nullptr) {
        _CoreMachDebugVerifyBody("+[NSUIMultiViewClientViewHolder defaultIconImageWithTitle:]",
                                 "/Code/sdk/RiradI/NSUIMultiViewController/NSUIMultiViewClientViewHolder", 50,
                                 " code : image");
        return nullptr;
    }
    auto image = std::make_shared<NSImage>(NSSize{double(kSide), double(kSide)});
    image->addRepresentation(bitmap);
    {
        const SavedGraphicsState saved;
        NSGraphicsContext::setCurrentContext(context);
        CGContextRef port = context->graphicsPort();
        const CGRect whole = CGRectMake(0, 0, kSide, kSide);
        CGContextClearRect(port, whole);
        CGContextSetRGBFillColor(port, 0.1, 0.1, 0.1, 1.0);
        CGContextSetRGBStrokeColor(port, 1, 1, 1, 0.5);
        const CoreGraphics::ScaledRoundRect record(whole, 8, 8);
        CoreGraphics::RoundRectPathDraw(record, port, 0, 0, 1.0);
        drawTextInContext(port, whole, title, 12.0);
        context->flushGraphics();
    }
    return image;
}

void NSUIMultiViewClientViewHolder::drawTextInContext(CGContextRef context, CGRect pageRect, const QString &text,
                                                      CGFloat textSize) {
    if (context == nullptr || text.isEmpty() || pageRect.size.width < 1 || pageRect.size.height < 1) return;
    // The text is laid out by Qt in a picture of the rectangle's size and drawn into the
    // context as an image, so any context (bitmap or not) receives the same pixels.
    const int width = static_cast<int>(std::ceil(pageRect.size.width));
    const int height = static_cast<int>(std::ceil(pageRect.size.height));
    if (width > 16384 || height > 16384) return;
    QImage picture(width, height, QImage::Format_RGBA8888_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setBold(true);
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(textSize))));
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, 0, width, height), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
    }
    std::shared_ptr<NSBitmapImageRep> bitmap = NSBitmapImageRep::imageRepWithQImage(picture);
    CGImageRef image = NSBitmapImageRepCreateCGImage(bitmap);
    if (image == nullptr) return;
    CGContextDrawImage(context, CGRectMake(pageRect.origin.x, pageRect.origin.y, width, height), image);
    CGImageRelease(image);
}

bool import_NSUIMultiViewClientViewHolder() { return import_NSUIViewHolder(); }
