#include "category_NSUIDropViewParam.h"

#include "NSUITargetActionView.h"

#include <CocoaFoundation/category_NSViewControlTarget.h>
#include <Foundation/NSKeyValueCoding.h>
#include <dispatch/dispatch.h>

#include <QMimeData>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QPointer>
#include <QWidget>

namespace {

// The marker of a URL with the delegate: a child of the control, deleted when the answer is
// applied, when the contents are set again, or with the control.
class URLLookup : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};

NSUIDropViewContents *Contents(QObject *control) { return dynamic_cast<NSUIDropViewContents *>(control); }

void CancelURLLookups(QObject *control) {
    for (URLLookup *lookup : control->findChildren<URLLookup *>(Qt::FindDirectChildrenOnly)) delete lookup;
}

QString ParamValue(QObject *control, int type) {
    NSUIDropViewContents *contents = Contents(control);
    if (contents == nullptr || contents->contentsType() != type) return QString();
    return contents->contents().toString();
}

QUrl URLFromString(const QString &urlString) {
    const QUrl url(urlString, QUrl::StrictMode);
    return urlString.isEmpty() || !url.isValid() ? QUrl() : url;
}

// The URL a drop stands for: the first of its URLs, else its text when that is an absolute URL.
// Empty when there is none, or when it is neither a local file with a path nor an address that
// reads back as a valid URL.
QUrl DroppedURL(const QMimeData *data) {
    if (data == nullptr) return QUrl();
    QUrl url;
    if (data->hasUrls()) {
        const QList<QUrl> urls = data->urls();
        if (!urls.isEmpty()) url = urls.first();
    } else if (data->hasText()) {
        url = URLFromString(data->text().trimmed());
        if (url.isRelative()) return QUrl();
    }
    if (url.isEmpty() || !url.isValid()) return QUrl();
    if (url.isLocalFile()) return url.toLocalFile().isEmpty() ? QUrl() : url;
    return URLFromString(url.toString(QUrl::FullyEncoded)).isEmpty() ? QUrl() : url;
}

}  // namespace

namespace category_NSUIDropViewParam {

void setContentsParamValue(QObject *control, const QVariant &value, int type) {
    if (control == nullptr) return;
    CancelURLLookups(control);
    if (NSUIDropViewContents *contents = Contents(control)) {
        contents->clearContents();
        contents->setContents(value, type);
    }
    controlContentsChanged(control);
}

QString nameParamValue(QObject *control) { return ParamValue(control, kNSUIDropViewContentsName); }

void setNameParamValue(QObject *control, const QString &name) {
    setContentsParamValue(control, name, kNSUIDropViewContentsName);
}

QString pathParamValue(QObject *control) { return ParamValue(control, kNSUIDropViewContentsPath); }

void setPathParamValue(QObject *control, const QString &path) {
    setContentsParamValue(control, path, kNSUIDropViewContentsPath);
}

QString URLParamValue(QObject *control) { return ParamValue(control, kNSUIDropViewContentsURL); }

void setURLParamValue(QObject *control, const QString &urlString) {
    if (control == nullptr) return;
    const QUrl url = URLFromString(urlString);
    if (url.isEmpty()) return;
    NSUIDropViewContents *contents = Contents(control);
    std::shared_ptr<protocol_URLCached> delegate = contents ? contents->contentsURLDelegate() : nullptr;
    if (delegate == nullptr) {
        setContentsParamValue(control, urlString, kNSUIDropViewContentsURL);
        return;
    }
    CancelURLLookups(control);
    QPointer<QObject> lookup = new URLLookup(control);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [delegate = std::move(delegate), lookup = std::move(lookup), url, urlString]() mutable {
                       const QString path = delegate->getURLCachedPathName(url);
                       dispatch_async(dispatch_get_main_queue(),
                                      [lookup = std::move(lookup), path, urlString]() {
                                          if (lookup.isNull()) return;
                                          QObject *control = lookup->parent();
                                          delete lookup.data();
                                          if (!path.isEmpty())
                                              setPathParamValue(control, path);
                                          else
                                              setContentsParamValue(control, urlString, kNSUIDropViewContentsURL);
                                      });
                   });
}

bool isURLParamValuePending(QObject *control) {
    return control != nullptr && control->findChild<URLLookup *>(QString(), Qt::FindDirectChildrenOnly) != nullptr;
}

void controlContentsChanged(QObject *view) {
    if (auto *targetActionView = qobject_cast<NSUITargetActionView *>(view))
        targetActionView->performTargetActionWithObject(static_cast<QObject *>(view));
    else
        category_NSViewControlTarget::performTargetActionWithObject(view, NSKeyValueCoding::variantFromObject(view));
}

void drawRectDropHighlight(QWidget *view, QPainter &painter) {
    painter.save();
    QColor tint = view->palette().color(QPalette::Active, QPalette::Highlight);
    tint.setAlpha(255);
    QPen pen(tint, 6.0);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(view->rect()));
    painter.restore();
}

bool canTakeDroppedData(const QMimeData *data) { return !DroppedURL(data).isEmpty(); }

bool takeDroppedData(QObject *control, const QMimeData *data) {
    const QUrl url = DroppedURL(data);
    if (control == nullptr || url.isEmpty()) return false;
    if (url.isLocalFile())
        setPathParamValue(control, url.toLocalFile());
    else
        setURLParamValue(control, url.toString(QUrl::FullyEncoded));
    return true;
}

}  // namespace category_NSUIDropViewParam

bool import_category_NSUIDropViewParam() {
    return import_category_NSViewControlTarget() && import_NSUITargetActionView();
}

#include "category_NSUIDropViewParam.moc"
