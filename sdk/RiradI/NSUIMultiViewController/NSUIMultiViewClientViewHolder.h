// NSUIMultiViewClientViewHolder: a client view of a multi-view controller. Its title is its
// tool tip (so it follows the interface language when the tool tip is bound to a string ID),
// else its instance number; its icon a default picture of the title.
//
// Connecting its outletMultiViewController outlet (in a nib, or by code) registers it with the
// controller. The "multiViewTitle" property notifies when the tool tip or the ID changes.
#pragma once

#include <NSUIMultiViewController/protocol_NSUIMultiView.h>

#include <UICocoaViews/NSUIViewHolder.h>

#include <CoreGraphics/CoreGraphics.h>

#include <QObject>
#include <QPointer>
#include <QString>

class NSUIMultiViewClientViewHolder : public NSUIViewHolder, public NSUIMultiViewClientProtocol {
    Q_OBJECT
    Q_PROPERTY(QString multiViewTitle READ multiViewTitle NOTIFY multiViewTitleChanged)
    Q_PROPERTY(uint outletMultiViewID READ outletMultiViewID WRITE setOutletMultiViewID NOTIFY multiViewTitleChanged)
    Q_PROPERTY(QObject *outletMultiViewController READ outletMultiViewController WRITE setOutletMultiViewController)
    Q_PROPERTY(int instanceNumber READ instanceNumber)

public:
    Q_INVOKABLE explicit NSUIMultiViewClientViewHolder(QWidget *parent = nullptr);
    ~NSUIMultiViewClientViewHolder() override;

    // Takes the next process-wide instance number (from 0) and an ID from 0 to 255 taken from
    // the object's identity (bits 8 to 15 of its address).
    void initViewAttributes() override;

    QString multiViewTitle() const override;
    uint multiViewID() const override { return mMultiViewID; }
    void setMultiViewID(uint multiViewID);
    std::shared_ptr<NSImage> multiViewIconImage() const override;

    uint outletMultiViewID() const { return multiViewID(); }
    void setOutletMultiViewID(uint multiViewID) { setMultiViewID(multiViewID); }
    int instanceNumber() const { return mInstanceNumber; }
    void setInstanceNumber(int number) { mInstanceNumber = number; }

    // The host (not owned); setting the outlet also registers the holder with a host that is a
    // multi-view controller.
    QObject *hostViewController() const { return mHost.data(); }
    void setHostViewController(QObject *host) { mHost = host; }
    QObject *outletMultiViewController() const { return hostViewController(); }
    void setOutletMultiViewController(QObject *host);
    void setMultiViewController(QObject *host) { setOutletMultiViewController(host); }

    // "<class> {<ID, two digits>:'<title>'}"
    QString description() const;

    // A new 32 x 32 picture: a dark rounded rectangle with a light edge and the title in bold
    // 12-point type, centred. Null (reported) when it cannot be made.
    static std::shared_ptr<NSImage> defaultIconImageWithTitle(const QString &title);
    // Draws the text centred in the rectangle (y upwards) of the context, in the bold system
    // font of the size, black.
    static void drawTextInContext(CGContextRef context, CGRect pageRect, const QString &text, CGFloat textSize);

signals:
    void multiViewTitleChanged();

protected:
    bool event(QEvent *event) override;

private:
    int mInstanceNumber = 0;
    uint mMultiViewID = 0;
    QPointer<QObject> mHost;
};

bool import_NSUIMultiViewClientViewHolder();
