// The window channel's inspector: shows a window image, the packet decoded from it and
// whether its checksum holds. IOSurfaceSharingNSWindowInfoController keeps the image and the
// decoded packet and announces its shown values as one change; IOSurfaceSharingNSWindowViewNibbler
// is the panel that carries it (its nib's controller, else one of its own).
//
// Every second (a repeating 1.0 s timer) while live updates are off, and at every new window
// image while they are on, the packet is decoded again from the last image and the keys
// "globalWindowName", "globalWindowOwnerName", "windowID", "imageRefHexValue",
// "imageSizePixels", "messageChecksumVerify", "messageChecksumHexValue", "sizeofMessagePacket",
// "messageSequenceNumber", "messageSurfaceID" are announced together. Main thread only; the
// fields are also guarded by the object's lock.
#pragma once

#include <FrameSharing/Window/IOSurfaceMessagePacket.h>

#include <UICocoaViews/NSUIViewNibbler.h>

#include <CoreGraphics/CGImage.h>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <mutex>

class IOSurfaceSharingNSWindowInfoController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool liveUpdates READ liveUpdates WRITE setLiveUpdates)
    Q_PROPERTY(QString globalWindowName READ globalWindowName)
    Q_PROPERTY(QString globalWindowOwnerName READ globalWindowOwnerName)
    Q_PROPERTY(QString windowDescription READ windowDescription)
    Q_PROPERTY(uint windowID READ windowID)
    Q_PROPERTY(QString imageRefHexValue READ imageRefHexValue)
    Q_PROPERTY(QString imageSizePixels READ imageSizePixels)
    Q_PROPERTY(bool messageChecksumVerify READ messageChecksumVerify)
    Q_PROPERTY(QString messageChecksumHexValue READ messageChecksumHexValue)
    Q_PROPERTY(uint sizeofMessagePacket READ sizeofMessagePacket)
    Q_PROPERTY(uint messageSequenceNumber READ messageSequenceNumber)
    Q_PROPERTY(qulonglong messageSurfaceID READ messageSurfaceID)

public:
    Q_INVOKABLE explicit IOSurfaceSharingNSWindowInfoController(QObject *parent = nullptr);
    ~IOSurfaceSharingNSWindowInfoController() override;

    // The keys announced with every new decoding.
    static QSet<QString> shownKeys();

    // A new window image of that window (retained); with live updates it is decoded at once.
    void setWindowImage(CGImageRef image, uint32_t windowID, const QString &name, const QString &ownerName);
    // Decodes the packet of the image (none: an invalid, zeroed packet) and makes the image
    // shown of it; whether the packet is valid.
    bool messageConstruct(CGImageRef image);
    // Decodes the last image again and announces the shown keys as one change.
    void updateShownValues();

    bool liveUpdates() const;
    void setLiveUpdates(bool live);
    QString globalWindowName() const;
    QString globalWindowOwnerName() const;
    // "%@ (%@)": name and owner name.
    QString windowDescription() const;
    uint windowID() const;
    // "CGImageRef(0x%08llX)", or "CGImageRef(NULL)" without an image.
    QString imageRefHexValue() const;
    // "CGSize(%d,%d)" of the image, "CGSize(0,0)" without one.
    QString imageSizePixels() const;
    bool messageChecksumVerify() const;
    // "%08lX" of the checksum.
    QString messageChecksumHexValue() const;
    uint sizeofMessagePacket() const;
    uint messageSequenceNumber() const;
    qulonglong messageSurfaceID() const;
    QImage image() const;

private:
    void timerFired();

    mutable std::recursive_mutex mLock;
    QTimer mTimer;
    bool mLiveUpdates = false;
    CGImageRef mWindowImage = nullptr;  // retained
    uint32_t mWindowID = 0;
    QString mWindowName, mWindowOwnerName;
    tagIOSurfaceMessagePacket mMessage;
    bool mMessageValid = false;
    QImage mImage;
};

class IOSurfaceSharingNSWindowViewNibbler : public NSUIViewNibbler {
    Q_OBJECT
public:
    Q_INVOKABLE explicit IOSurfaceSharingNSWindowViewNibbler(QWidget *parent = nullptr);

    // The nib's controller, else the panel's own.
    IOSurfaceSharingNSWindowInfoController *windowInfoController();

private:
    QPointer<IOSurfaceSharingNSWindowInfoController> mOwnController;
};
