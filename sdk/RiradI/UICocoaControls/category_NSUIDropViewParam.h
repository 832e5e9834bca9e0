// Drop parameters: controls that accept a dropped file or address (image wells, drop views)
// keep one contents value with a type, and these functions give every control the typed
// parameter accessors that the parameter mapping and the settings use. Setting a parameter
// replaces the contents and fires the control's action once, with the control.
//
// A control class stores its contents by deriving from NSUIDropViewContents and overriding its
// primitives; a control that does not answers nil for every parameter and only fires its action.
//
// A URL is first offered to the control's URL delegate (protocol_URLCached), which may answer
// with a local cached copy: the control then holds that path. The delegate may have to fetch
// the URL to answer, so it is never asked on the main thread: setURLParamValue returns at once,
// the delegate is asked on a background queue, and its answer is applied on the main thread
// (the path, or the URL itself when it has none). A newer setting of the control's contents, or
// the control's end, drops an answer still on its way. Without a delegate the URL is recorded
// at once; nothing here ever loads it.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>

class QMimeData;
class QPainter;
class QWidget;

// Contents types.
enum : int {
    kNSUIDropViewContentsEmpty = 0,  // nil
    kNSUIDropViewContentsName = 1,   // a string
    kNSUIDropViewContentsPath = 2,   // a file path string
    kNSUIDropViewContentsURL = 3,    // the URL's string form
};

// An object that keeps local copies of URLs (the render view's cache).
class protocol_URLCached {
public:
    virtual ~protocol_URLCached() = default;
    // The path of the local copy of the URL, or an empty string. Called on a background thread,
    // never on the main thread; may take as long as a fetch takes.
    virtual QString getURLCachedPathName(const QUrl &url) = 0;
};

// The primitives a control class overrides to store its contents; these versions hold nothing.
class NSUIDropViewContents {
public:
    virtual ~NSUIDropViewContents() = default;
    virtual std::shared_ptr<protocol_URLCached> contentsURLDelegate() const { return nullptr; }
    virtual int contentsType() const { return kNSUIDropViewContentsEmpty; }
    virtual QVariant contents() const { return QVariant(); }
    virtual void setContents(const QVariant &, int) {}
    virtual void clearContents() {}
};

namespace category_NSUIDropViewParam {

// NSControl(category_NSUIDropViewParam). Main thread only.
// clearContents, setContents with the value and type, then controlContentsChanged.
void setContentsParamValue(QObject *control, const QVariant &value, int type);
// The contents when they are of that type, else a null string.
QString nameParamValue(QObject *control);
void setNameParamValue(QObject *control, const QString &name);
QString pathParamValue(QObject *control);
void setPathParamValue(QObject *control, const QString &path);
QString URLParamValue(QObject *control);
// An invalid URL string changes nothing and fires nothing. See above for the delegate.
void setURLParamValue(QObject *control, const QString &urlString);
// True while a URL of the control is with its delegate.
bool isURLParamValuePending(QObject *control);

// NSView(category_NSUIDropViewParam).
// Fires the view's action with the view: a target-action view's own delivery, else the view
// target-action category's.
void controlContentsChanged(QObject *view);
// Strokes the view's bounds, 6 wide, in the highlight (control tint) colour, opaque.
void drawRectDropHighlight(QWidget *view, QPainter &painter);

// Drops: true when the data holds a URL (a file or an address) or text that is an absolute URL.
bool canTakeDroppedData(const QMimeData *data);
// Sets the parameter from the first URL of the data: a local file sets the path, any other
// URL the URL parameter; false (nothing set) when canTakeDroppedData is false.
bool takeDroppedData(QObject *control, const QMimeData *data);

}  // namespace category_NSUIDropViewParam

bool import_category_NSUIDropViewParam();
