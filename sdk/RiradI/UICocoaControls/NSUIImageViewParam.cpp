#include "NSUIImageViewParam.h"

#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <dispatch/dispatch.h>

#include <atomic>

#include <QAction>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QMimeData>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

NS_REGISTER_CLASS(NSUIImageViewParam);

namespace {

std::atomic<int> sRunningURLLoads{0};

// The bytes at the URL, or empty: a local file read, an http(s) address fetched (the cache
// allowed) within the time-out and the size cap, given up as soon as *cancelled is set. Runs
// off the main thread.
QByteArray FetchURL(const QUrl &url, const std::atomic<bool> &cancelled) {
    if (url.isLocalFile()) {
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly) || file.size() > NSUIImageViewParam::kMaximumURLBytes) return {};
        return file.readAll();
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return {};

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(8);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QByteArray body;
    bool failed = false;
    const auto fail = [&] {
        failed = true;
        if (!reply->isFinished()) reply->abort();
    };
    QObject::connect(&deadline, &QTimer::timeout, &loop, fail);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (cancelled) fail();
    });
    watch.start(50);
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (failed) return;
        body += reply->readAll();
        if (body.size() > NSUIImageViewParam::kMaximumURLBytes) fail();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(NSUIImageViewParam::kURLTimeoutMilliseconds);
    if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();
    if (!failed) body += reply->readAll();
    if (failed || body.size() > NSUIImageViewParam::kMaximumURLBytes || reply->error() != QNetworkReply::NoError ||
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 400)
        return {};
    return body;
}

}  // namespace

NSUIImageViewParam::NSUIImageViewParam(QWidget *parent) : NSImageView(parent) { setAcceptDrops(true); }

NSUIImageViewParam::~NSUIImageViewParam() { cancelURLLoad(); }

int NSUIImageViewParam::runningURLLoads() { return sRunningURLLoads; }

void NSUIImageViewParam::cancelURLLoad() {
    if (mLoadCancel) *mLoadCancel = true;
    mLoadCancel.reset();
    ++mLoadGeneration;
    mLoadingURL = false;
}

void NSUIImageViewParam::awakeFromNib() { setAcceptDrops(true); }

void NSUIImageViewParam::setPresets(QObject *presets) {
    if (mPresetsConnection) QObject::disconnect(mPresetsConnection);
    mPresets = qobject_cast<QComboBox *>(presets);
    if (mPresets)
        mPresetsConnection = connect(mPresets.data(), &QComboBox::activated, this,
                                     [this](int index) { presetActivated(index); });
}

QVariant NSUIImageViewParam::contents() const {
    std::lock_guard<std::mutex> guard(mContentsLock);
    return mHasContents ? QVariant(mContents) : QVariant();
}

void NSUIImageViewParam::setContentsValue(const QVariant &contents) {
    std::lock_guard<std::mutex> guard(mContentsLock);
    mHasContents = contents.isValid() && !contents.isNull();
    mContents = mHasContents ? contents.toString() : QString();
}

int NSUIImageViewParam::contentsType() const {
    std::lock_guard<std::mutex> guard(mContentsLock);
    return mContentsType;
}

void NSUIImageViewParam::setContentsType(int type) {
    std::lock_guard<std::mutex> guard(mContentsLock);
    mContentsType = type;
}

void NSUIImageViewParam::setContents(const QVariant &contents, int type) {
    setContentsValue(contents);
    setContentsType(type);
    const QString text = contents.isValid() && !contents.isNull() ? contents.toString() : QString();
    loadPicture(text, type);
    selectPreset(text, type);
}

void NSUIImageViewParam::clearContents() {
    setContentsValue(QVariant());
    setContentsType(kNSUIDropViewContentsEmpty);
    cancelURLLoad();
    NSImageView::setImage(nullptr);
}

void NSUIImageViewParam::setImage(std::shared_ptr<NSImage> image) {
    clearContents();
    if (image) NSImageView::setImage(std::move(image));
}

void NSUIImageViewParam::loadPicture(const QString &text, int type) {
    cancelURLLoad();
    std::shared_ptr<NSImage> picture;
    switch (type) {
    case kNSUIDropViewContentsName: picture = NSImage::imageNamed(text); break;
    case kNSUIDropViewContentsPath: picture = NSImage::imageWithContentsOfFile(text); break;
    case kNSUIDropViewContentsURL:
        NSImageView::setImage(nullptr);
        loadURLPicture(text);
        return;
    default: picture = std::make_shared<NSImage>(); break;
    }
    NSImageView::setImage(std::move(picture));
}

void NSUIImageViewParam::loadURLPicture(const QString &text) {
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid() || url.isRelative()) return;
    mLoadingURL = true;
    mLoadCancel = std::make_shared<std::atomic<bool>>(false);
    QPointer<NSUIImageViewParam> view(this);
    const quint64 generation = mLoadGeneration;
    ++sRunningURLLoads;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [view = std::move(view), url, generation, cancelled = mLoadCancel]() mutable {
                       std::shared_ptr<NSImage> picture = NSImage::imageWithData(FetchURL(url, *cancelled));
                       --sRunningURLLoads;
                       dispatch_async(dispatch_get_main_queue(),
                                      [view = std::move(view), picture = std::move(picture), generation]() mutable {
                                          if (view.isNull() || view->mLoadGeneration != generation) return;
                                          view->mLoadingURL = false;
                                          view->NSImageView::setImage(std::move(picture));
                                      });
                   });
}

bool NSUIImageViewParam::isLoadingURL() const { return mLoadingURL; }

void NSUIImageViewParam::selectPreset(const QString &text, int type) {
    if (mPresets.isNull() || mPresets->count() == 0) return;
    if (type == kNSUIDropViewContentsName) {
        const int index = mPresets->findText(text, Qt::MatchExactly);
        if (index >= 0) mPresets->setCurrentIndex(index);  // no action: only activation sends one
    } else {
        mPresets->setCurrentIndex(0);
    }
}

void NSUIImageViewParam::presetActivated(int index) {
    if (mPresets.isNull() || index < 1 || index >= mPresets->count()) return;
    category_NSUIDropViewParam::setNameParamValue(this, mPresets->itemText(index));
}

void NSUIImageViewParam::setImageNamedBySenderTitle(QAction *item) {
    if (item == nullptr) return;
    category_NSUIDropViewParam::setNameParamValue(this, item->text());
}

QComboBox *NSUIImageViewParam::removeAllCurrentPresetMenuItems() {
    if (mPresets.isNull()) return nullptr;
    while (mPresets->count() > 1) mPresets->removeItem(mPresets->count() - 1);
    return mPresets.data();
}

void NSUIImageViewParam::setPresetsMenuResourceFileNames(const QStringList &names) {
    try {
        QComboBox *presets = removeAllCurrentPresetMenuItems();
        if (presets == nullptr) return;
        for (const QString &name : names) presets->addItem(name);
    } catch (const NSException &) {
        // a preset that cannot be added is left out
    }
}

void NSUIImageViewParam::dragEnterEvent(QDragEnterEvent *event) {
    if (event->source() != this && category_NSUIDropViewParam::canTakeDroppedData(event->mimeData()))
        event->acceptProposedAction();
    else
        NSImageView::dragEnterEvent(event);
}

void NSUIImageViewParam::dragMoveEvent(QDragMoveEvent *event) {
    if (event->source() != this && category_NSUIDropViewParam::canTakeDroppedData(event->mimeData()))
        event->acceptProposedAction();
    else
        NSImageView::dragMoveEvent(event);
}

void NSUIImageViewParam::dropEvent(QDropEvent *event) {
    if (event->source() != this && category_NSUIDropViewParam::takeDroppedData(this, event->mimeData())) {
        event->acceptProposedAction();
        return;
    }
    NSImageView::dropEvent(event);
}

bool import_NSUIImageViewParam() { return import_category_NSUIDropViewParam(); }
