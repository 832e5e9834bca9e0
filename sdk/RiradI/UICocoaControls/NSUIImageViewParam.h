// NSUIImageViewParam: an image view whose picture is a parameter value (a drop parameter): the
// name of an application image, a file path or a URL. The value is set by dropping a file or a
// link on the view, by choosing an entry of its presets pop-up, or through the parameter
// mapping (setNameParamValue, setPathParamValue, setURLParamValue of category_NSUIDropViewParam).
//
// Loading a URL never blocks the main thread. A dropped link first goes to the URL delegate off
// the main thread (category_NSUIDropViewParam); when the contents end up a URL, its bytes are
// fetched on a background queue (file URLs read, http and https through Qt Network with a
// time-out and a size cap), decoded there, and the picture is shown on the main thread. Until
// then the view shows nothing; newer contents, or the view's end, drop an answer on its way.
//
// The presets pop-up (outlet "outletPresets") is a QComboBox whose first entry is fixed (its
// title); the others are presets, and activating one sets the name parameter to its title.
// "No preset selected" is the fixed first entry being current.
#pragma once

#include "category_NSUIDropViewParam.h"

#include <AppKit/NSImageView.h>

#include <QByteArray>
#include <QComboBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <memory>
#include <mutex>

class QAction;

class NSUIImageViewParam : public NSImageView, public NSUIDropViewContents {
    Q_OBJECT
    Q_PROPERTY(QObject *outletPresets READ presets WRITE setPresets)
    Q_PROPERTY(QVariant contents READ contents WRITE setContentsValue)
    Q_PROPERTY(int contentsType READ contentsType WRITE setContentsType)
    // The action sent (with the view) when the contents are set as a parameter.
    Q_PROPERTY(QObject *target READ target WRITE setTarget)
    Q_PROPERTY(QByteArray action READ action WRITE setAction)

public:
    // Limits of a URL fetch.
    static constexpr int kURLTimeoutMilliseconds = 30 * 1000;
    static constexpr qint64 kMaximumURLBytes = 64 * 1024 * 1024;

    explicit NSUIImageViewParam(QWidget *parent = nullptr);
    ~NSUIImageViewParam() override;

    Q_INVOKABLE void awakeFromNib();

    QObject *target() const { return mTarget.data(); }
    void setTarget(QObject *target) { mTarget = target; }
    QByteArray action() const { return mAction; }
    void setAction(const QByteArray &action) { mAction = action; }

    QObject *presets() const { return mPresets.data(); }
    // A pop-up that is not a QComboBox is left unconnected (null).
    void setPresets(QObject *presets);

    std::shared_ptr<protocol_URLCached> contentsURLDelegate() const override { return mDelegate; }
    void setContentsURLDelegate(std::shared_ptr<protocol_URLCached> delegate) { mDelegate = std::move(delegate); }

    // The current parameter value and its type (kNSUIDropViewContents...). Any thread.
    QVariant contents() const override;
    void setContentsValue(const QVariant &contents);
    int contentsType() const override;
    void setContentsType(int type);

    // Stores both, then loads the picture (name, file, URL; anything else an empty image) and
    // brings the presets into line. Main thread.
    void setContents(const QVariant &contents, int type) override;
    // Contents nil, type 0, no picture.
    void clearContents() override;
    // Clears the contents, then shows the image when one is given.
    void setImage(std::shared_ptr<NSImage> image) override;

    // The name parameter becomes the item's title.
    Q_INVOKABLE void setImageNamedBySenderTitle(QAction *item);
    // Removes every entry but the first from the presets pop-up; returns the pop-up (null
    // without one).
    QComboBox *removeAllCurrentPresetMenuItems();
    // Clears the presets, then adds one entry per name.
    void setPresetsMenuResourceFileNames(const QStringList &names);

    // True while a URL's picture is being fetched. New contents, or the view's end, give up
    // the fetch (within 50 ms).
    bool isLoadingURL() const;
    // Fetches of every view still running on their background threads.
    static int runningURLLoads();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void loadPicture(const QString &text, int type);
    void loadURLPicture(const QString &text);
    void cancelURLLoad();
    void selectPreset(const QString &text, int type);
    void presetActivated(int index);

    std::shared_ptr<protocol_URLCached> mDelegate;
    QPointer<QObject> mTarget;
    QByteArray mAction;
    QPointer<QComboBox> mPresets;
    QMetaObject::Connection mPresetsConnection;
    mutable std::mutex mContentsLock;
    QString mContents;
    bool mHasContents = false;
    int mContentsType = kNSUIDropViewContentsEmpty;
    quint64 mLoadGeneration = 0;  // a URL answer for an older generation is dropped
    bool mLoadingURL = false;
    std::shared_ptr<std::atomic<bool>> mLoadCancel;  // set to give up the fetch under way
};

bool import_NSUIImageViewParam();
