// QStandardCompressionComponent: one open standard compression component of the QuickTime
// layer, which keeps the compressor, quality and frame rate of a recording, shows the
// compression dialogs and keeps the user's choice in the user defaults.
#pragma once

#include <Foundation/NSObject.h>

#include <QuickTime/StandardCompression.h>

#include <QByteArray>
#include <QString>

#include <memory>

#include "QImageCompressionSessionOptions.h"

class QStandardCompressionComponent : public NSObject {
    Q_OBJECT
public:
    // The frame rate answered when the component cannot report one.
    static constexpr double kFallbackFrameRate = 12.0;

    // A new component; null when the standard compression component cannot be opened.
    static std::unique_ptr<QStandardCompressionComponent> standardCompressionComponent();
    // "('avc1')": the four bytes of the code, most significant first, in quotes and parentheses.
    static QString codecTypeFourCharCode(OSType codecType);
    // The compressor's name from the codec name list; empty for a type without one or when the
    // list cannot be read.
    static QString codecNameForCodecType(OSType codecType);

    // Opens the component (isOpen tells whether that worked); the destructor closes it.
    explicit QStandardCompressionComponent(QObject *parent = nullptr);
    ~QStandardCompressionComponent() override;
    bool isOpen() const { return mComponent != nullptr; }

    // Stores the settings data in the standard user defaults under the key (and writes them):
    // false for an empty key, without settings data or when the defaults cannot be written.
    bool savePreferencesWithKey(const QString &key);
    // Takes the settings data stored under the key: true when they were there and taken;
    // false for an empty key, nothing stored, or data that is refused (the settings are
    // then unchanged).
    bool loadPreferencesWithKey(const QString &key);

    // The settings as the bytes of their atom container; null on failure.
    QByteArray settingsData();
    // Takes settings made by settingsData: false (and nothing changes) for empty or refused
    // data.
    bool setSettingsData(const QByteArray &data);
    // The settings as one line of text; empty on failure.
    QString settingsSummary();
    // New compression-session options carrying the settings; null on failure.
    ICMCompressionSessionOptionsPtr compressionOptions();

    double frameRate();
    void setFrameRate(double framesPerSecond);
    CodecType codecType();
    void setCodecType(CodecType codecType);

    // 'rle ', any codec, depth 32, quality codecMaxQuality.
    void setDefaultSpatialSettings();
    // False, with the defaults above in *settings, when they cannot be read.
    bool getSpatialSettings(SCSpatialSettings *settings);
    bool setSpatialSettings(const SCSpatialSettings &settings);

    // Limit the compressors offered to 'rle ', 'avc1', 'mp4v', 'jpeg', 'mjpa', 'mjpb', in that
    // order, then show the sequence dialog: true when the user accepted it.
    bool displaySequenceSettingsDialog();
    // The image dialog, without limiting the compressors.
    bool displayImageSettingsDialog();
    bool limitCompressionOutputTypes();
    // SCSetInfo: true when the component took the value.
    bool setInfo(OSType infoType, void *info);

private:
    ComponentInstance mComponent = nullptr;
};

bool import_QStandardCompressionComponent();
