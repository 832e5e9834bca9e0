// QImageCompressionSettings: the settings of a still-frame recording: input and output frame
// sizes, time scale, and the standard compression component that keeps the compressor,
// quality and frame rate (and stores the user's choice in the user defaults under the
// class name).
//
// Key-value observing: "frameRate" is a property with a NOTIFY signal, emitted by the setters
// that change it (setFrameRate, setSettingsData); the settings dialog announces every key of
// compressionSettingsKeySet() with will/did change around itself instead.
//
// Settings data: a keyed archive (PropertyListArchiving) under the root key
// "kPropertyListDataKey" of a dictionary with "kInputFrameSizeKey" and "kOutputFrameSizeKey"
// (sizes as {"Width", "Height"} numbers) and "kComponentDataKey" (the component's settings
// data, absent when there are none).
#pragma once

#include <Foundation/NSObject.h>

#include <QuickTime/ImageCompression.h>

#include <QByteArray>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <memory>

#include "QImageCompressionSessionOptions.h"
#include "QStandardCompressionComponent.h"

class QImageCompressionSettings : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QByteArray settingsData READ settingsData WRITE setSettingsData)
    Q_PROPERTY(QSizeF inputFrameSize READ inputFrameSize WRITE setInputFrameSize)
    Q_PROPERTY(QSizeF outputFrameSize READ outputFrameSize WRITE setOutputFrameSize)
    Q_PROPERTY(uint inputFrameWidth READ inputFrameWidth WRITE setInputFrameWidth)
    Q_PROPERTY(uint inputFrameHeight READ inputFrameHeight WRITE setInputFrameHeight)
    Q_PROPERTY(uint outputFrameWidth READ outputFrameWidth WRITE setOutputFrameWidth)
    Q_PROPERTY(uint outputFrameHeight READ outputFrameHeight WRITE setOutputFrameHeight)
    Q_PROPERTY(int timeScale READ timeScale WRITE setTimeScale)
    Q_PROPERTY(uint codecType READ codecType)
    Q_PROPERTY(QString codecTypeName READ codecTypeName)
    Q_PROPERTY(QString codecTypeFourCharCode READ codecTypeFourCharCode)
    Q_PROPERTY(double frameRate READ frameRate WRITE setFrameRate NOTIFY frameRateChanged)
    Q_PROPERTY(QImageCompressionSessionOptions *sessionOptions READ sessionOptions)
    Q_PROPERTY(QImageCompressionSessionOptions *options READ sessionOptions)
    Q_PROPERTY(QStandardCompressionComponent *component READ component)

public:
    static constexpr SInt32 kDefaultTimeScale = 1000000;
    // The component's preference flags.
    static constexpr long kPreferenceFlags = 1280;

    static SInt32 defaultTimeScale() { return kDefaultTimeScale; }
    // The class name: "QImageCompressionSettings".
    static QString defaultPreferencesKey();
    // The keys the settings dialog announces: "settingsData", "inputFrameSize",
    // "outputFrameSize", "outputFrameWidth", "outputFrameHeight", "codecType", "codecTypeName",
    // "codecTypeFourCharCode", "frameRate", "options", "sessionOptions".
    static const QSet<QString> &compressionSettingsKeySet();
    // New settings from settings data (see initWithSettingsData).
    static std::unique_ptr<QImageCompressionSettings> compressionSettingsWithSettingsData(const QByteArray &data);

    // The nib object: default time scale, no sizes, a component (when one opens) with the
    // preference flags, the default spatial settings and the user's stored choice.
    Q_INVOKABLE explicit QImageCompressionSettings(QObject *parent = nullptr);
    // Settings from settings data; data that is refused leaves the settings of a fresh
    // component (without the user's stored choice) and no sizes.
    explicit QImageCompressionSettings(const QByteArray &settingsData, QObject *parent = nullptr);
    ~QImageCompressionSettings() override;

    // Hands the component's compression-session options to the session options (made from
    // them, with the one-pass defaults, when there are none yet).
    Q_INVOKABLE void awakeFromNib();
    // A new component with the preference flags and the default spatial settings: false (no
    // component) when none can be opened.
    bool loadComponent();
    QString preferencesKey() const;

    QByteArray settingsData();
    // Reads the sizes and the component settings of settings data into a fresh component.
    // Data that is no such archive, or whose component settings are refused, is refused
    // whole (reported; nothing changes) and the answer is false. A size that is absent or not
    // a size dictionary reads as 0 x 0.
    bool setSettingsData(const QByteArray &data);
    QByteArray settingsDataWithOutputFrameSize(QSizeF outputFrameSize);
    QVariantMap settingsDictionaryWithOutputFrameSize(QSizeF outputFrameSize);
    // A copy for a recording: sizes and component settings, no session options.
    std::unique_ptr<QImageCompressionSettings> compressionSettings();
    std::unique_ptr<QImageCompressionSettings> compressionSettingsWithOutputFrameSize(QSizeF outputFrameSize);

    // Sizes are whole pixels: fractions are cut, negative and NaN values give 0, values past
    // the 32-bit range give its largest. Setting the input size also sets each output
    // dimension that is still 0.
    QSizeF inputFrameSize() const { return QSizeF(mInputFrameWidth, mInputFrameHeight); }
    void setInputFrameSize(QSizeF size);
    QSizeF outputFrameSize() const { return QSizeF(mOutputFrameWidth, mOutputFrameHeight); }
    void setOutputFrameSize(QSizeF size);
    uint inputFrameWidth() const { return mInputFrameWidth; }
    void setInputFrameWidth(uint width) { mInputFrameWidth = width; }
    uint inputFrameHeight() const { return mInputFrameHeight; }
    void setInputFrameHeight(uint height) { mInputFrameHeight = height; }
    uint outputFrameWidth() const { return mOutputFrameWidth; }
    void setOutputFrameWidth(uint width) { mOutputFrameWidth = width; }
    uint outputFrameHeight() const { return mOutputFrameHeight; }
    void setOutputFrameHeight(uint height) { mOutputFrameHeight = height; }
    int timeScale() const { return mTimeScale; }
    void setTimeScale(int timeScale) { mTimeScale = timeScale; }

    // 0 without a component.
    CodecType codecType();
    QString codecTypeName();
    QString codecTypeFourCharCode();
    // 0 without a component. A rate the component refuses (not above 0, above 1000) changes
    // nothing.
    double frameRate();
    void setFrameRate(double framesPerSecond);
    ICMCompressionSessionOptionsPtr compressionOptions();
    QStandardCompressionComponent *component() const { return mComponent.get(); }
    QImageCompressionSessionOptions *sessionOptions() const { return mSessionOptions.get(); }

    // Shows the component's sequence settings dialog; an accepted choice is stored under the
    // preferences key. Every key of the key set is announced around it.
    Q_INVOKABLE void actionDisplaySettingsDialog(QObject *sender);

signals:
    void frameRateChanged();

private:
    // Emits frameRateChanged when the rate is no longer the one given.
    void noteFrameRateChange(double before);

    std::unique_ptr<QStandardCompressionComponent> mComponent;
    std::unique_ptr<QImageCompressionSessionOptions> mSessionOptions;
    uint mInputFrameWidth = 0;
    uint mInputFrameHeight = 0;
    uint mOutputFrameWidth = 0;
    uint mOutputFrameHeight = 0;
    SInt32 mTimeScale = kDefaultTimeScale;
};

bool import_QImageCompressionSettings();
