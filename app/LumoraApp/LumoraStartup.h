// LumoraStartup: what the application does before and as its application object starts, and
// the constant tables its modules share.
//
//   - getOSMinorVersionNumber: the minor version of the running system. There is no Darwin
//     kernel here: the answer comes from the version the Carbon layer's Gestalt reports (10.9),
//     so version-dependent decisions take their modern branch. The reading of a Darwin
//     release text ("12.0.0" is 10.8) is kept as its own function over an injectable text.
//   - The component decision: which of the application's private video-digitizer components
//     start-up registers, with the log line of each step, worked out from the preferences and
//     the minor version as a table of results (startupComponentDecision), then applied
//     (registerStartupComponents). A component file that is missing is the component loader's
//     business: start-up goes on.
//   - The parameter tables (video input, design bookmark, spare), each kept with its row count
//     (counted once, up to the row without a name), the default capture format and frame size,
//     the default mouse point and the built-in resource name lists.
//
// Threads: start-up runs on the main thread before the event loop; the tables are constant.
#pragma once

#include <UIParamMapping/NSUIParamMapping.h>

#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

// ---- Operating-system version ---------------------------------------------------------------

// The minor version of a Darwin release text ("11.4.2" gives 7, "12.0.0" gives 8): the text
// split at punctuation, the first part less 4 when it is above 4; 0 when either text is missing
// (null), the release has fewer than two parts or its major part is 4 or less. Logs
// "getOSVersionInfo darwinVersion='%@' buildNumber='%@'\n" and "10.%d.%d =
// getOSMinorVersionNumber()\n" as the system did.
int getOSMinorVersionNumberFromRelease(const QString &darwinRelease, const QString &buildNumber);
// The running system's minor version: Gestalt's (9 here); 0 when Gestalt gives none.
int getOSMinorVersionNumber();

// ---- Component decision ---------------------------------------------------------------------

// The component preferences start-up reads (AppController's class preferences).
struct StartupComponentPreferences {
    bool loadWindrakeVDIG = false;
    bool autoDetectVDIG = true;
    bool loadAvistor = false;
    bool loadMovidra = false;
};

// What start-up registers, in order, and the lines it logs on the way.
struct StartupComponentDecision {
    QStringList components;  // "Windrake.VDIG.component", "Avistor.component", "Movidra.component"
    QStringList logLines;
    int osVersionQueries = 0;  // how often the minor version was asked for
};

// The decision for the preferences; minorVersion is asked once for each step that needs it.
StartupComponentDecision startupComponentDecision(const StartupComponentPreferences &preferences,
                                                  const std::function<int()> &minorVersion);

// The preferences as AppController keeps them in the standard user defaults.
StartupComponentPreferences startupComponentPreferences();
// The whole component start-up: the decision for the stored preferences and the running
// system, its lines logged, each chosen component registered with QComponentLoader (a missing
// file is only logged). Answers the decision.
StartupComponentDecision registerStartupComponents();

// The process start-up: the debug log goes to the system log, AppController's class set-up runs
// (image units loaded, value transformer registered) and the components are registered. Once
// per process; later calls answer the first decision.
const StartupComponentDecision &LumoraProcessStartup();

// ---- Parameter tables -----------------------------------------------------------------------

// A constant table and its row count (rows up to the first without a name, null or empty).
struct LumoraParamTable {
    const ParamMappingRow *rows;
    std::size_t count;
};

// Rows up to the first row whose name is null or empty; 0 for a null table.
std::size_t LumoraParamTableRowCount(const ParamMappingRow *table);

// The video-input settings (34 rows; the effect input controller's).
const LumoraParamTable &LumoraVideoInputParamTable();
// The keys of a saved camera setting (46 rows; the camera view's bookmarks).
const LumoraParamTable &LumoraDesignBookmarkParamTable();
// "param.one", "param.two", "param.three".
const LumoraParamTable &LumoraSpareParamTable();

// The transformer class "<typeName>ParamTransformer" ("BOOL", "NSNumber"); null for a null or
// empty type name and for a name that names no class (never a report, never a crash).
const NSUIParamTransformer *LumoraParamTransformerForTypeName(const char *typeName);

// ---- Defaults and resource names ------------------------------------------------------------

struct LumoraCaptureFormat {
    uint16_t width;
    uint16_t height;
    uint16_t rowBytes;
    uint32_t pixelFormat;  // '2vuy' (0x32767579)
    float framesPerSecond;
};
inline constexpr LumoraCaptureFormat kLumoraDefaultCaptureFormat = {640, 480, 1280, 0x32767579u, 30.0f};
inline constexpr float kLumoraDefaultFrameWidth = 640.0f, kLumoraDefaultFrameHeight = 480.0f;
QSizeF LumoraDefaultFrameSize();
// The mouse location a composition sees when it opens (normalised).
QPointF LumoraDefaultMousePoint();

// "CGImageRenderTexture_nop_BGRA.vs", ".fs", "CGImageRenderTexture_swizzle_BGRA_to_ARGB.vs", ".fs".
const QStringList &LumoraBuiltInShaderResourceNames();
// "jpg", "png", "tif", "tiff": the still images a background or stencil may be.
const QStringList &LumoraStillImageExtensions();

bool import_LumoraStartup();
