#include <AppKit/NSImageView.h>

#include <QPainter>

NSImageView::NSImageView(QWidget *parent) : QWidget(parent) {}

NSImageView::~NSImageView() = default;

void NSImageView::setImage(std::shared_ptr<NSImage> image) {
    if (image == mImage) return;
    mImage = std::move(image);
    mShown = QImage();
    if (mImage && !mImage->representations().empty()) mShown = mImage->representations().front()->toQImage();
    update();
    emit imageChanged();
}

void NSImageView::paintEvent(QPaintEvent *) {
    if (mShown.isNull()) return;
    const QSize room = size();
    QSize shown = mShown.size();
    if (shown.width() > room.width() || shown.height() > room.height()) shown.scale(room, Qt::KeepAspectRatio);
    if (shown.isEmpty()) return;
    const QRect target((room.width() - shown.width()) / 2, (room.height() - shown.height()) / 2, shown.width(),
                       shown.height());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, mShown);
}
