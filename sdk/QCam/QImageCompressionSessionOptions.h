// QImageCompressionSessionOptions: the Image Compression Manager's compression-session
// options as an object, with typed accessors over the options' properties (class 'icso') and
// their own get and set calls. Failed calls are reported (VERIFY_OSERR, with the call's text)
// and the getters then answer 0 / false.
#pragma once

#include <Foundation/NSObject.h>

#include <QuickTime/ImageCompression.h>

#include <QByteArray>

#include <memory>

// A counted reference to compression-session options: copies share it, the last one
// releases it.
using ICMCompressionSessionOptionsPtr = std::shared_ptr<OpaqueICMCompressionSessionOptions>;
// Takes over the creation reference of the options (null stays null).
ICMCompressionSessionOptionsPtr ICMCompressionSessionOptionsAdopt(ICMCompressionSessionOptionsRef options);
// A new reference of the options (retained).
ICMCompressionSessionOptionsPtr ICMCompressionSessionOptionsShare(ICMCompressionSessionOptionsRef options);

class QImageCompressionSessionOptions : public NSObject {
    Q_OBJECT
public:
    // The largest interval between key frames of one-pass encoding.
    static constexpr SInt32 kMaxKeyFrameInterval = 30;

    // New options (the one-pass defaults applied); null, reported, when they cannot be made.
    static std::unique_ptr<QImageCompressionSessionOptions> sessionOptions();
    static std::unique_ptr<QImageCompressionSessionOptions> sessionOptionsWithDefaultsForOnePassEncoding();
    // Wraps the options (retained) and applies the one-pass defaults to them.
    static std::unique_ptr<QImageCompressionSessionOptions> sessionOptionsWithICMCompressionSessionOptions(
        ICMCompressionSessionOptionsRef options);

    explicit QImageCompressionSessionOptions(ICMCompressionSessionOptionsRef options = nullptr,
                                             QObject *parent = nullptr);
    ~QImageCompressionSessionOptions() override;

    // The wrapped options (the property "sessionOptions"; null when there are none).
    ICMCompressionSessionOptionsRef options() const { return mSessionOptions.get(); }
    void setOptions(ICMCompressionSessionOptionsRef options);

    // When there are options: no multi-pass storage, temporal compression and frame
    // reordering on, key frames at most kMaxKeyFrameInterval apart, frame time changes
    // allowed, frame durations needed, asynchronous completion allowed.
    void setDefaultsForOnePassEncoding();

    UInt32 codecDepth();
    void setCodecDepth(UInt32 depth);
    CodecQ codecQuality();
    void setCodecQuality(CodecQ quality);
    // The codec settings' bytes (empty: none).
    QByteArray imageCodecSettings();
    void setImageCodecSettings(const QByteArray &settings);
    SInt32 averageDataRate();
    void setAverageDataRate(SInt32 bytesPerSecond);
    bool allowAsyncCompletion();
    void setAllowAsyncCompletion(bool allow);
    bool frameDurationsNeeded();
    void setFrameDurationsNeeded(bool needed);
    bool allowFrameTimeChanges();
    void setAllowFrameTimeChanges(bool allow);
    SInt32 maxKeyFrameInterval();
    void setMaxKeyFrameInterval(SInt32 interval);
    bool allowFrameReordering();
    void setAllowFrameReordering(bool allow);
    bool allowTemporalCompression();
    void setAllowTemporalCompression(bool allow);

    // A property of the class 'icso'.
    OSStatus getPropertyWithID(QTPropertyID propertyID, ByteCount propertySize, void *propertyValue);
    OSStatus setPropertyWithID(QTPropertyID propertyID, ByteCount propertySize, const void *propertyValue);

private:
    ICMCompressionSessionOptionsPtr mSessionOptions;
};

bool import_QImageCompressionSessionOptions();
