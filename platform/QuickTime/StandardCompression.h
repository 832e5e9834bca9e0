// The standard compression component ('scdi', 'imag'): the user's choice of compressor,
// quality and frame rate for a recording, shown in a settings dialog and kept as an atom
// container.
//
// The compressors offered are the layer's (GetCodecNameList, ImageCompression.h): FFmpeg's
// encoders. A new instance holds the spatial settings 'rle ', anyCodec, depth 32,
// codecNormalQuality; the temporal settings codecNormalQuality, 30.0 frames per second, a
// key frame every 30 frames; preference flags 0; no codec type list (every compressor).
//
// Settings as an atom container: the handle holds one big-endian atom of type 'scdi' (a 32-bit
// size counting its 8-byte header and its children, then the type) whose children are atoms
// of the same form:
//   'sptl'  codec type (4), depth (2), spatial quality (4)
//   'tprl'  temporal quality (4), frame rate (Fixed, 4), key-frame rate (4)
// Both are needed; children of other types are skipped. Reading checks every size and value
// (as SCSetInfo does) before it changes anything: a container that is not exactly this is
// refused whole.
#pragma once

#include <QuickTime/Components.h>
#include <QuickTime/ImageCompression.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

enum : OSType {
    StandardCompressionType = MakeFourCharCode("scdi"),
    StandardCompressionSubType = MakeFourCharCode("imag"),
};

// SCGetInfo / SCSetInfo selectors and the values they take.
enum : OSType {
    scPreferenceFlagsType = MakeFourCharCode("pref"),   // long: the dialogs' preference flags, kept as given
    scSpatialSettingsType = MakeFourCharCode("sptl"),   // SCSpatialSettings
    scTemporalSettingsType = MakeFourCharCode("tprl"),  // SCTemporalSettings
    scCompressionListType = MakeFourCharCode("ctyl"),   // Handle of CodecTypes: the compressors the
                                                        // dialogs offer, in that order (set copies it,
                                                        // null or empty: every one; get answers a new
                                                        // handle the caller disposes, null when none)
};

enum : ComponentResult {
    scUserCancelled = 1,  // the user closed the dialog without taking its settings
};

struct SCSpatialSettings {
    CodecType codecType;   // a compressor the layer has (noCodecErr otherwise)
    CodecComponent codec;  // anyCodec (or another of the four choices of ImageCompression.h)
    short depth;           // 0 to 40
    CodecQ spatialQuality; // up to codecLosslessQuality
};

struct SCTemporalSettings {
    CodecQ temporalQuality;  // up to codecLosslessQuality
    Fixed frameRate;         // frames per second, above 0 and at most 1000
    long keyFrameRate;       // frames between key frames, 0 (none forced) to 32767
};

typedef Handle QTAtomContainer;

// A new instance is opened with OpenDefaultComponent(StandardCompressionType,
// StandardCompressionSubType) and closed with CloseComponent.

// badComponentInstance for anything but a standard compression instance, paramErr for a
// null info, badComponentSelector for another selector; SCSetInfo answers paramErr for a
// value outside the ranges above (noCodecErr for a codec type without a compressor) and
// changes nothing then.
ComponentResult SCGetInfo(ComponentInstance ci, OSType infoType, void *info);
ComponentResult SCSetInfo(ComponentInstance ci, OSType infoType, void *info);

// *settings a new atom container of the settings (the caller disposes it).
ComponentResult SCGetSettingsAsAtomContainer(ComponentInstance ci, QTAtomContainer *settings);
// Takes the settings of a container made as above. paramErr for a null container,
// badComponentInstance as above, invalidAtomContainerErr for a container that is not well
// formed or holds a value outside the ranges, noCodecErr for a compressor the layer lacks.
ComponentResult SCSetSettingsFromAtomContainer(ComponentInstance ci, QTAtomContainer settings);
enum : OSErr {
    invalidAtomContainerErr = -2109,
};

// *text a new handle (the caller disposes it) holding a one-line description of the settings
// in ASCII, without a terminating NUL.
ComponentResult SCGetSettingsAsText(ComponentInstance ci, Handle *text);

// *options new compression-session options (the caller releases them) that carry the
// settings: depth, quality (the spatial quality), maximum key-frame interval (the key-frame
// rate), temporal compression allowed when the key-frame rate is not 1.
ComponentResult SCCopyCompressionSessionOptions(ComponentInstance ci, ICMCompressionSessionOptionsRef *options);

// The settings dialogs: a modal Qt dialog with the compressors (the codec type list when one
// is set, else every compressor; only those the layer has, in the list's order), a quality
// slider and, for a sequence, the frame rate. Answers noErr when the user accepted (the
// settings then hold the choice), scUserCancelled when the user cancelled; paramErr (nothing
// shown) without a QApplication, off the application's thread, or when no compressor can be
// offered. The dialog is the QDialog "StandardCompressionDialog" with the QComboBox
// "codecPopUp" (item data: the codec type), the QSlider "qualitySlider" (the chosen
// compressor's quality range; the one quality becomes the spatial and the temporal quality),
// the QDoubleSpinBox "frameRateField" (sequences only) and the QDialogButtonBox "buttons".
ComponentResult SCRequestSequenceSettings(ComponentInstance ci);
ComponentResult SCRequestImageSettings(ComponentInstance ci);

}  // extern "C"
