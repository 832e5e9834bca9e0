// Mask shapes, checked by samples well inside and well outside each figure (the edges are
// anti-aliased), and the clip-art pictures of the bundle.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <CoreG/Masks/namespace_CoreGraphics_MaskShapes.h>

#include "MaskTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

extern char **environ;

using namespace CoreGraphics;
using coreg_mask_test::AtCentred;
using coreg_mask_test::Bytes;
using coreg_mask_test::Params;

namespace {

struct Sample {
    double x, y;  // from the mask's centre, y up
    uint8_t expected;
};

struct ShapeCase {
    const char *name;
    int type;
    MaskParams params;
    std::vector<Sample> samples;
};

// A 100 x 80 mask; with Param[0] 0.5 the figure's rectangle R is 65 x 52 and its square Q
// 52 x 52, both centred.
TEST(MaskShape, FiguresAreCutIntoAnOpaqueMask) {
    const ShapeCase cases[] = {
        {"circle in Q", 3, Params(0, 0.5f, 0.5f), {{0, 0, 0}, {20, 0, 0}, {15, -15, 0}, {0, 30, 255}, {30, 0, 255}}},
        {"ellipse in R", 4, Params(0, 0.5f, 0.5f), {{30, 0, 0}, {0, 24, 0}, {0, 28, 255}, {35, 0, 255}}},
        {"ellipse half as wide", 4, Params(0, 0.5f, 0.25f), {{14, 0, 0}, {0, 24, 0}, {19, 0, 255}}},
        {"ellipse half as high", 4, Params(0, 0.5f, 0.75f), {{30, 0, 0}, {0, 11, 0}, {0, 15, 255}}},
        {"square", 6, Params(0, 0.5f, 0.5f), {{24, 24, 0}, {-24, -24, 0}, {28, 0, 255}, {0, 28, 255}}},
        {"square turned 45", 6, Params(45, 0.5f, 0.5f), {{33, 0, 0}, {0, -33, 0}, {22, 22, 255}}},
        {"larger square", 6, Params(0, 1, 0.5f), {{37, 37, 0}, {47, 0, 0}, {49, 0, 255}}},  // s 1.2: Q 96
        {"rounded square", 7, Params(0, 0.5f, 0.5f), {{24, 0, 0}, {0, -24, 0}, {24, 24, 255}, {28, 0, 255}}},
        {"rectangle", 8, Params(0, 0.5f, 0.5f), {{30, 24, 0}, {-30, -24, 0}, {35, 0, 255}, {0, 28, 255}}},
        {"rounded rectangle", 9, Params(0, 0.5f, 0.5f), {{30, 0, 0}, {0, 24, 0}, {31, 24, 255}}},
        {"pentagon", 10, Params(0, 0.5f, 0), {{0, 0, 0}, {24, 0, 0}, {0, -19, 0}, {0, -26, 255}, {-24, 0, 255}}},
        {"25-gon", 10, Params(0, 0.5f, 1), {{0, 24, 0}, {-24, 0, 0}, {0, 28, 255}}},
        {"heart", 11, Params(0, 0.5f, 0.5f),
         {{0, 0, 0}, {-19.5, 15.6, 0}, {19.5, 15.6, 0}, {0, 22, 255}, {0, -28, 255}, {-38, -15, 255}}},
        {"pentagram", 12, Params(0, 0.5f, 0), {{0, 0, 0}, {18, 0, 0}, {16.2, 11.8, 255}}},
        {"flower of 10", 13, Params(0, 0.5f, 0.5f), {{29.6, 4.7, 0}, {-29.6, -4.7, 0}, {30, 0, 255}, {45, 0, 255}}},
        {"pinwheel of 2 wedges", 14, Params(0, 0.5f, 0.05f), {{10, 10, 0}, {-10, -10, 0}, {-10, 10, 255}, {10, -10, 255}}},
    };
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(100, 80));
    for (const ShapeCase &c : cases) {
        coreg_mask_test::Fill(mask, 77);
        mask.MakeMaskShape(c.type, &c.params);
        for (const Sample &s : c.samples)
            EXPECT_EQ(AtCentred(mask, s.x, s.y), s.expected) << c.name << " at " << s.x << ", " << s.y;
        // Opaque all round the border: the figure stays inside.
        EXPECT_EQ(AtCentred(mask, -49.5, -39.5), 255) << c.name;
        EXPECT_EQ(AtCentred(mask, 49.5, 39.5), 255) << c.name;
    }
}

TEST(MaskShape, RadialGaussianRisesFromTheCentre) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(100, 80));
    // value = min(1, (u^2 + v^2) / 50^2 / s) x 255 with s = 0.65; (u, v) the distance from
    // (50, 40) turned by A, u scaled by 2 - k when k = 2 P1 > 1, v by k when k < 1.
    const struct {
        float angle, p1;
        uint32_t column, row;
        uint8_t expected;
    } cases[] = {
        {0, 0.5f, 50, 40, 0},     {0, 0.5f, 0, 0, 255},      {0, 0.5f, 60, 40, 15},   {0, 0.5f, 50, 50, 15},
        {0, 0.25f, 60, 40, 3},    {0, 0.25f, 50, 50, 15},    {90, 0.25f, 60, 40, 15}, {90, 0.25f, 50, 50, 3},
        {0, 0.75f, 50, 50, 3},    {0, 0.75f, 60, 40, 15},
    };
    for (const auto &c : cases) {
        const MaskParams params = Params(c.angle, 0.5f, c.p1);
        mask.MakeMaskShape(1, &params);
        EXPECT_EQ(mask.mImageDataBytes[c.row * 100 + c.column], c.expected)
            << "A " << c.angle << " P1 " << c.p1 << " at " << c.column << ", " << c.row;
    }
}

// Large masks are painted in bands of rows and the lower half mirrored from the upper: every
// byte must still be the formula's, worked out here pixel by pixel.
TEST(MaskShape, LargeRadialGaussianIsItsFormulaPixelByPixel) {
    constexpr double kPi = 3.14159265358979323846;
    const MaskParams paramSets[] = {MaskParams(), Params(33, 0.2f, 0.8f), Params(300, 0.9f, 0.1f), Params(90, 0, 1)};
    const struct {
        int width, height;
    } sizes[] = {{640, 480}, {333, 207}, {200, 301}};
    for (const auto &size : sizes) {
        MaskContext mask;
        ASSERT_TRUE(mask.Construct(size.width, size.height));
        const double w = size.width, h = size.height;
        for (const MaskParams &p : paramSets) {
            mask.MakeMaskShape(1, &p);
            const std::vector<uint8_t> bytes = Bytes(mask);
            const double angle = double(p.AngleDegrees[0]) * kPi / 180, k = 2 * double(p.Param[1]);
            const double s = double(p.Param[0]) * 1.1 + 0.1;
            const double uScale = k > 1 ? 2 - k : 1, vScale = std::min(k, 1.0);
            size_t wrong = 0;
            for (int y = 0; y < size.height; ++y) {
                for (int x = 0; x < size.width; ++x) {
                    const double dx = w / 2 - x, dy = h / 2 - y;
                    const double u = (dx * std::sin(angle) + dy * std::cos(angle)) * uScale;
                    const double v = (dx * std::cos(angle) - dy * std::sin(angle)) * vScale;
                    const double value = std::min(1.0, (u * u + v * v) / ((w / 2) * (w / 2)) / s);
                    wrong += bytes[size_t(y) * size.width + x] != uint8_t(value * 255) ? 1 : 0;
                }
            }
            EXPECT_EQ(wrong, 0u) << size.width << " x " << size.height << ", A " << float(p.AngleDegrees[0]);
        }
    }
}

TEST(MaskShape, ConcentricEllipsesAreNestedGreys) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(100, 80));
    // Ring i (1..8) is the ellipse 2 i/8 times the rectangle in grey i/8 x 2 x P1.
    const MaskParams params = Params(0, 0.5f, 0.5f);
    mask.MakeMaskShape(2, &params);  // circles over Q (52)
    EXPECT_NEAR(AtCentred(mask, 0, 0), 0.125 * 255, 1);
    EXPECT_NEAR(AtCentred(mask, 20, 0), 0.5 * 255, 1);
    EXPECT_NEAR(AtCentred(mask, 0, -30), 0.625 * 255, 1);
    EXPECT_EQ(AtCentred(mask, 49.5, 39.5), 255);
    mask.MakeMaskShape(5, &params);  // ellipses over R (65 x 52)
    EXPECT_NEAR(AtCentred(mask, 20, 0), 0.375 * 255, 1);
    EXPECT_NEAR(AtCentred(mask, 0, 20), 0.5 * 255, 1);
}

TEST(MaskShape, SuperformulaOutlinesAreCentredInsideTheSquare) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(100, 80));
    for (int type = 16; type <= 18; ++type) {
        for (const float p1 : {0.0f, 0.5f, 1.0f}) {
            const MaskParams params = Params(0, 0.5f, p1, 0.5f, 0.5f);
            mask.MakeMaskShape(type, &params);
            mask.WillAccessPixels();
            size_t cut = 0;
            for (uint32_t row = 0; row < 80; ++row) {
                for (uint32_t column = 0; column < 100; ++column) {
                    if (mask.mImageDataBytes[row * 100 + column] == 255) continue;
                    ++cut;
                    // Within Q (52 x 52 about the centre), give or take the anti-aliased edge.
                    EXPECT_LE(std::abs(int(column) - 50), 27) << type << " P1 " << p1;
                    EXPECT_LE(std::abs(int(row) - 40), 27) << type << " P1 " << p1;
                }
            }
            EXPECT_GT(cut, 100u) << type << " P1 " << p1;
        }
    }
}

TEST(MaskShape, NothingToCutLeavesTheMaskOpaqueAndOtherTypesTransparent) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(20, 10));
    const MaskParams noWedge = Params(0, 0.5f, 0);
    mask.MakeMaskShape(14, &noWedge);  // n = 2: a pinwheel without area
    EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(200, 255));
    mask.MakeMaskShape(15, nullptr);  // no clip art in the test's resources
    EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(200, 255));
    for (const int type : {0, 19, -1, 1000}) {
        coreg_mask_test::Fill(mask, 9);
        mask.MakeMaskShape(type, nullptr);
        EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(200, 0)) << type;
    }
    // A context left as it was: the painters restore the graphics state.
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(mask.mContext)));

    MaskContext empty;  // not constructed: nothing happens
    empty.MakeMaskShape(3, nullptr);
    EXPECT_FALSE(empty.IsConstructed());
}

TEST(MaskShape, TinyMasks) {
    for (const auto &[width, height] : {std::pair{1, 1}, std::pair{1, 7}, std::pair{7, 1}}) {
        MaskContext mask;
        ASSERT_TRUE(mask.Construct(width, height));
        for (int type = -1; type <= 19; ++type) {
            mask.MakeMaskShape(type, nullptr);
            const MaskParams extreme = Params(359.9f, 0, 1, 1, 0);
            mask.MakeMaskShape(type, &extreme);
        }
    }
}

TEST(ClipArt, TableAndIndices) {
    EXPECT_EQ(ClipArtCount(), 5);
    for (const int index : {-3, 0, 4, 5, 6}) {
        CFURLRef url = CopyClipArtURL(index);  // the test program has no such resources
        EXPECT_EQ(url, nullptr) << index;
        if (url != nullptr) CFRelease(url);
    }
}

// ---- clip art drawn from the bundle's resources

// Runs this test again from a copy of the test program in a folder of its own, beside the
// clip-art file: a bare tool's resources are the files beside it. (The test program's own
// folder is shared with other tests running at the same time.)
TEST(ClipArt, DrawsTheBundlePictureIntoTheFigureRectangle) {
    if (std::getenv("LUMORA_CLIPART_CHILD") == nullptr) {
        lumora::test::ScopedFolder folder("clipart");
        std::error_code error;
        std::filesystem::copy_file("/proc/self/exe", folder.file("CoreGTests"), error);
        ASSERT_FALSE(error) << error.message();
        std::filesystem::permissions(folder.file("CoreGTests"), std::filesystem::perms::owner_all);
        ASSERT_TRUE(lumora::test::WriteBlackPagePDF(folder.file("MaskLipsInc.pdf"), 1000, 1000));

        std::vector<std::string> environment;
        for (char **entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
        environment.push_back("LUMORA_CLIPART_CHILD=1");
        std::vector<char *> envp;
        for (std::string &text : environment) envp.push_back(text.data());
        envp.push_back(nullptr);
        std::string program = folder.file("CoreGTests");
        std::string filter = "--gtest_filter=ClipArt.DrawsTheBundlePictureIntoTheFigureRectangle";
        char *argv[] = {program.data(), filter.data(), nullptr};
        const std::string output = folder.file("output.txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        pid_t child = -1;
        const int spawned = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(spawned, 0);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        const std::string text = lumora::test::ReadFile(output);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
        EXPECT_NE(text.find("[  PASSED  ] 1 test"), std::string::npos) << text;
        return;
    }

    // In the copy: "MaskLipsInc" is picture 0.
    CFURLRef url = CopyClipArtURL(0);
    ASSERT_NE(url, nullptr);
    CFRelease(url);
    EXPECT_EQ(CopyClipArtURL(1), nullptr);

    // On 640 x 480 with P0 0.5 (s 0.65): the square page (1000 points: fitting only ever
    // scales down) fitted into R (416 x 312) is 312 x 312, then scaled by (640/640 x s, 480/480 x s): 202.8 x 202.8 about the centre.
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(640, 480));
    const MaskParams lips = Params(0, 0.5f, 0);
    mask.MakeMaskShape(15, &lips);
    const Sample samples[] = {{0, 0, 0}, {95, 95, 0}, {-95, -95, 0}, {110, 0, 255}, {0, -110, 255}, {300, 200, 255}};
    for (const Sample &s : samples) EXPECT_EQ(AtCentred(mask, s.x, s.y), s.expected) << s.x << ", " << s.y;
    // Param[1] 1 chooses index 6, clamped to the count: no picture, the mask stays opaque.
    const MaskParams none = Params(0, 0.5f, 1);
    mask.MakeMaskShape(15, &none);
    EXPECT_EQ(AtCentred(mask, 0, 0), 255);
}

}  // namespace
