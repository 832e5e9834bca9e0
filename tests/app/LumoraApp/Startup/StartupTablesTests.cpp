// Start-up: the reading of a Darwin release, the component decision and its log lines, and the
// constant tables the application's modules share.
#include <LumoraApp/LumoraStartup.h>
#include <LumoraApp/QTZInputController.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(StartupVersion, DarwinReleaseTextsGiveTheirMinorVersion) {
    const struct {
        const char *release;
        const char *build;
        int minor;
    } cases[] = {
        {"11.4.2", "11G63", 7}, {"12.0.0", "12A269", 8}, {"13.4.0", "13E28", 9},
        {"4.2.0", "8C46", 0},      // Darwin 4 and below: no 10.x minor
        {"5", "9A1", 0},           // no punctuation: fewer than two parts
        {"", "", 0},               // empty release
        {"abc.def", "x", 0},       // a major that is no number
        {nullptr, "12A269", 0},    // a failed query of either text
        {"12.0.0", nullptr, 0},
    };
    for (const auto &c : cases) {
        const QString release = c.release ? QString::fromLatin1(c.release) : QString();
        const QString build = c.build ? QString::fromLatin1(c.build) : QString();
        EXPECT_EQ(getOSMinorVersionNumberFromRelease(release, build), c.minor) << (c.release ? c.release : "(null)");
    }
}

TEST(StartupVersion, TheRunningSystemAnswersTheLayersVersion) {
    // No Darwin kernel here: Gestalt's 10.9, so the modern branch is taken.
    EXPECT_EQ(getOSMinorVersionNumber(), 9);
}

TEST(StartupComponents, TheDecisionAndItsLinesFollowThePreferencesAndTheVersion) {
    const QString notWindrake = "Lum@ra: not loading Windrake.VDIG.component\n";
    const QString avistor = "Lum@ra: loading private Avistor.component\n";
    const QString noAvistor = "Lum@ra: not loading private Avistor.component\n";
    const QString movidra = "Lum@ra: loading private Movidra.component\n";
    const QString noMovidra = "Lum@ra: not loading private Movidra.component\n";
    const struct {
        const char *name;
        StartupComponentPreferences preferences;
        int minor;
        QStringList components;
        QStringList lines;
        int queries;
    } cases[] = {
        {"defaults on 10.7", {false, true, false, false}, 7, {"Movidra.component"}, {notWindrake, noAvistor, movidra}, 2},
        {"defaults on 10.8", {false, true, false, false}, 8, {"Avistor.component"}, {notWindrake, avistor, noMovidra}, 2},
        {"defaults on 10.9", {false, true, false, false}, 9, {"Avistor.component"}, {notWindrake, avistor, noMovidra}, 2},
        {"no auto-detection, nothing forced", {false, false, false, false}, 9, {}, {notWindrake, noAvistor, noMovidra}, 0},
        {"both forced", {false, false, true, true}, 9, {"Avistor.component", "Movidra.component"},
         {notWindrake, avistor, movidra}, 0},
        {"Movidra forced on 10.9", {false, true, false, true}, 9, {"Avistor.component", "Movidra.component"},
         {notWindrake, avistor, movidra}, 2},
        {"Windrake", {true, false, false, false}, 9, {"Windrake.VDIG.component"}, {noAvistor, noMovidra}, 0},
        {"release without punctuation (minor 0)", {false, true, false, false}, 0, {"Movidra.component"},
         {notWindrake, noAvistor, movidra}, 2},
    };
    for (const auto &c : cases) {
        int asked = 0;
        const StartupComponentDecision decision = startupComponentDecision(c.preferences, [&] {
            ++asked;
            return c.minor;
        });
        EXPECT_EQ(decision.components, c.components) << c.name;
        EXPECT_EQ(decision.logLines, c.lines) << c.name;
        EXPECT_EQ(decision.osVersionQueries, c.queries) << c.name;
        EXPECT_EQ(asked, c.queries) << c.name;
    }
}

TEST(StartupComponents, MissingComponentFilesLeaveStartUpGoingOn) {
    // The test program's bundle ships none of the private components: each registration
    // fails quietly and the decision is still answered.
    const StartupComponentDecision decision = registerStartupComponents();
    EXPECT_EQ(decision.components, QStringList{"Avistor.component"});
}

// ---- Tables ---------------------------------------------------------------------------------

TEST(StartupTables, RowsAreCountedUpToTheRowWithoutAName) {
    EXPECT_EQ(LumoraVideoInputParamTable().count, 34u);
    EXPECT_EQ(LumoraDesignBookmarkParamTable().count, 46u);
    EXPECT_EQ(LumoraSpareParamTable().count, 3u);
    const ParamMappingRow emptyEnded[] = {{3, 2, "a", "g", "s:", nullptr}, {3, 2, "", "g", "s:", nullptr},
                                          {3, 2, "after", "g", "s:", nullptr}, {0, 0, nullptr, nullptr, nullptr, nullptr}};
    EXPECT_EQ(LumoraParamTableRowCount(emptyEnded), 1u);
    EXPECT_EQ(LumoraParamTableRowCount(nullptr), 0u);
    // The input controller reads its rows from here.
    EXPECT_EQ(QTZInputController::videoInputParamMapping().Count(), 34u);
}

TEST(StartupTables, TransformersAreFoundByTypeName) {
    const struct {
        const char *type;
        const char *className;
    } cases[] = {{"BOOL", "BOOLParamTransformer"}, {"NSNumber", "NSNumberParamTransformer"}, {"float", "floatParamTransformer"},
                 {"NoSuchType", nullptr}, {"", nullptr}, {nullptr, nullptr}};
    for (const auto &c : cases) {
        const NSUIParamTransformer *transformer = LumoraParamTransformerForTypeName(c.type);
        if (c.className == nullptr) {
            EXPECT_EQ(transformer, nullptr) << (c.type ? c.type : "(null)");
        } else {
            ASSERT_NE(transformer, nullptr) << c.type;
            EXPECT_STREQ(transformer->className(), c.className);
        }
    }
}

struct Row {
    const char *name;
    int kind;
    int pass;
    const char *getter;
    const char *setter;
    const char *transformer;
};

void ExpectRows(const LumoraParamTable &table, const std::vector<Row> &expected) {
    ParamMapping mapping(table.rows);
    for (const Row &row : expected) {
        const ParamMapping::Param param = mapping.FindParam(QString::fromLatin1(row.name));
        ASSERT_EQ(param.name, QString::fromLatin1(row.name)) << row.name;
        EXPECT_EQ(param.kind, row.kind) << row.name;
        EXPECT_EQ(param.pass, row.pass) << row.name;
        EXPECT_EQ(param.getter, QByteArray(row.getter)) << row.name;
        EXPECT_EQ(param.setter, QByteArray(row.setter)) << row.name;
        if (row.transformer == nullptr) EXPECT_EQ(param.transformer, nullptr) << row.name;
        else ASSERT_NE(param.transformer, nullptr) << row.name;
        if (row.transformer != nullptr) EXPECT_STREQ(param.transformer->className(), row.transformer) << row.name;
    }
}

TEST(StartupTables, VideoInputKeys) {
    ExpectRows(LumoraVideoInputParamTable(),
               {{"video.input.option.mask.enabled", 3, 2, "intParam", "setIntParam:", nullptr},
                {"video.input.mask.screen.param.2", 3, 2, "floatParam", "setFloatParam:", nullptr},
                {"video.input.mask.shape.param.3", 3, 2, "floatParam", "setFloatParam:", nullptr},
                {"video.input.tint.gradient.point.y1", 3, 2, "floatParam", "setFloatParam:", nullptr},
                {"video.input.tint.color.one", 3, 4, "color4DParam", "setColor4DParam:", nullptr},
                {"video.input.tint.color.two", 3, 4, "color4DParam", "setColor4DParam:", nullptr},
                {"video.input.tint.picture.menu", 3, 1, "nameParamValue", "setNameParamValue:", nullptr},
                {"video.input.tint.picture.url", 3, 2, "URLParamValue", "setURLParamValue:", nullptr},
                {"video.input.stencil.picture.menu", 3, 1, "nameParamValue", "setNameParamValue:", nullptr},
                {"video.input.stencil.picture.url", 3, 2, "URLParamValue", "setURLParamValue:", nullptr}});
    EXPECT_STREQ(LumoraVideoInputParamTable().rows[33].name, "video.input.stencil.picture.url");
}

TEST(StartupTables, DesignBookmarkKeys) {
    ExpectRows(LumoraDesignBookmarkParamTable(),
               {{"bookmark.refines", 3, 0, "compositionRefinesParamValue", "setCompositionRefinesParamValue:", nullptr},
                {"requires.version", 1, 2, "applicationVersion", "setReadOnlyParam:", nullptr},
                {"camera.broadcast.enabled", 2, 2, "writeOnlyParam", "setIntParam:", nullptr},
                {"camera.background.picture.menu", 3, 1, "nameParamValue", "setNameParamValue:", nullptr},
                {"camera.draw.flipped.y", 3, 2, "buttonStateParam", "setButtonStateParam:", nullptr},
                {"camera.draw.angle.y", 3, 2, "normalParam", "setNormalParam:", nullptr},
                {"camera.interpolation.mirror", 3, 2, "timeMirrored", "setTimeMirrored:", "BOOLParamTransformer"},
                {"camera.interpolation.parameter", 3, 2, "inputEffectParameter", "setInputEffectParameter:",
                 "NSNumberParamTransformer"},
                {"camera.filter.vertical.values", 2, 3, "writeOnlyParam", "setFilterStringValue:", nullptr},
                {"camera.filter.vertical.amount", 3, 2, "inputEffectTex1DYAmount", "setInputEffectTex1DYAmount:",
                 "NSNumberParamTransformer"},
                {"camera.filter.vertical.savesamplevalues", 3, 4, "saveSamplesStringValue", "setSaveSamplesStringValue:", nullptr},
                {"camera.filter.horizontal.function.type", 3, 2, "typeStringValue", "setTypeStringValue:", nullptr},
                {"camera.filter.horizontal.values", 2, 3, "writeOnlyParam", "setFilterStringValue:", nullptr},
                {"camera.filter.horizontal.amount", 3, 2, "inputEffectTex1DXAmount", "setInputEffectTex1DXAmount:",
                 "NSNumberParamTransformer"},
                {"camera.filter.horizontal.savesamplevalues", 3, 4, "saveSamplesStringValue", "setSaveSamplesStringValue:",
                 nullptr}});
    // The seven normal rows in their order.
    const char *normals[] = {"camera.draw.scale.xy", "camera.draw.translate.x", "camera.draw.translate.y",
                             "camera.draw.translate.z", "camera.draw.angle", "camera.draw.angle.x", "camera.draw.angle.y"};
    for (int i = 0; i < 7; ++i) EXPECT_STREQ(LumoraDesignBookmarkParamTable().rows[16 + i].name, normals[i]);
    EXPECT_STREQ(LumoraDesignBookmarkParamTable().rows[45].name, "camera.filter.horizontal.savesamplevalues");
}

TEST(StartupTables, SpareRowsAndDefaults) {
    ExpectRows(LumoraSpareParamTable(), {{"param.one", 3, 2, "stringValue", "setStringValue:", nullptr},
                                         {"param.two", 3, 2, "stringValue", "setStringValue:", nullptr},
                                         {"param.three", 3, 2, "stringValue", "setStringValue:", "BOOLParamTransformer"}});
    EXPECT_EQ(kLumoraDefaultCaptureFormat.width, 640);
    EXPECT_EQ(kLumoraDefaultCaptureFormat.height, 480);
    EXPECT_EQ(kLumoraDefaultCaptureFormat.rowBytes, 1280);
    EXPECT_EQ(kLumoraDefaultCaptureFormat.pixelFormat, 0x32767579u);
    EXPECT_FLOAT_EQ(kLumoraDefaultCaptureFormat.framesPerSecond, 30.0f);
    EXPECT_EQ(LumoraDefaultFrameSize(), QSizeF(640, 480));
    EXPECT_EQ(LumoraDefaultMousePoint(), QPointF(0.5, 0.5));
    EXPECT_EQ(LumoraStillImageExtensions(), (QStringList{"jpg", "png", "tif", "tiff"}));
    EXPECT_EQ(LumoraBuiltInShaderResourceNames().size(), 4);
}

}  // namespace
