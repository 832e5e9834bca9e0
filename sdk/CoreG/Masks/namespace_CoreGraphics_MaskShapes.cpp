#include <CoreG/Masks/namespace_CoreGraphics_MaskShapes.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include <CoreG/Drawing/namespace_CoreGeometry_PathVertices.h>
#include <CoreG/Drawing/namespace_CoreGraphics_ContextCentered.h>
#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>
#include <CoreG/Drawing/namespace_CoreGraphics_ScaledRoundRect.h>
#include <CoreX/CoreMachDebugLog.h>

#include <CoreG/Masks/namespace_CoreGraphics_MaskPixels.h>

namespace CoreGraphics {

namespace {

constexpr double kPi = 3.14159265358979323846;

constexpr const char *kClipArtNames[] = {"MaskLipsInc", "MaskPeaceSign", "MaskButterfly", "MaskMaleSign",
                                         "MaskFemaleSign"};
constexpr int kClipArtCount = int(sizeof(kClipArtNames) / sizeof(kClipArtNames[0]));

CGRect CentredRect(CGPoint centre, CGFloat width, CGFloat height) {
    return CGRectMake(centre.x - width / 2, centre.y - height / 2, width, height);
}

CGPoint Centre(const CGRect &r) { return CGPointMake(CGRectGetMidX(r), CGRectGetMidY(r)); }

void FillBlack(CGContextRef context) { CGContextSetRGBFillColor(context, 0, 0, 0, 1); }

// Fills the path black and releases it; nothing for a null path (too few points).
void FillPath(CGContextRef context, CGPathRef path) {
    if (path == nullptr) return;
    FillBlack(context);
    CGContextBeginPath(context);
    CGContextAddPath(context, path);
    CGContextFillPath(context);
    CGPathRelease(path);
}

// Eight nested grey ellipses centred in `r`, the outermost twice its size, grey
// i/8 x 2 x param for the i-th from the inside.
void DrawConcentricEllipses(CGContextRef context, const CGRect &r, double param) {
    for (int i = 8; i >= 1; --i) {
        const double t = i * 0.125;
        const double g = t * 2 * param;
        CGContextSetRGBFillColor(context, g, g, g, 1);
        CGContextFillEllipseInRect(context, CentredRect(Centre(r), 2 * t * r.size.width, 2 * t * r.size.height));
    }
}

// Shape 1: for every pixel the squared, turned and stretched distance from the centre.
// The pixel at (w - x, h - y) is as far from the centre the other way (dx and dy negated
// exactly), so it has the same byte: the rows from h - 1 up to h / 2 are the first rows
// mirrored.
void PaintRadialGaussian(MaskContext &mask, double angleRadians, double k, double s) {
    const double w = mask.mImageWidth, h = mask.mImageHeight;
    const uint32_t width = mask.mImageWidth, height = mask.mImageHeight;
    const double sinA = std::sin(angleRadians), cosA = std::cos(angleRadians);
    const double uScale = k > 1 ? 2 - k : 1, vScale = std::min(k, 1.0);
    const double radius2 = (w / 2) * (w / 2);
    std::vector<double> dxSin(width), dxCos(width);
    for (uint32_t x = 0; x < width; ++x) {
        const double dx = w / 2 - x;
        dxSin[x] = dx * sinA;
        dxCos[x] = dx * cosA;
    }
    // Locals only, copied into the loops: a byte store could otherwise alias them.
    const double *const sines = dxSin.data(), *const cosines = dxCos.data();
    uint8_t *const data = mask.mImageDataBytes;
    const size_t rowBytes = mask.mImageRowBytes;
    // Between 0 and 1, so that the byte is its truncated 255-fold (as ByteOf gives it).
    const auto byteAt = [=](uint32_t x, double dyCos, double dySin) {
        const double u = (sines[x] + dyCos) * uScale;
        const double v = (cosines[x] - dySin) * vScale;
        return static_cast<uint8_t>(static_cast<int>(std::min(1.0, (u * u + v * v) / radius2 / s) * 255));
    };
    // Rows [0, computed) are worked out; row y >= computed mirrors row height - y.
    const uint32_t computed = height / 2 + 1;
    // A row in two passes, each simple enough for the compiler to vectorise.
    const auto paintRow = [=](uint32_t y, double *values) {
        uint8_t *row = data + size_t(y) * rowBytes;
        const double dy = h / 2 - y;
        const double dyCos = dy * cosA, dySin = dy * sinA;
        for (size_t x = 0; x < width; ++x) {
            const double u = (sines[x] + dyCos) * uScale;
            const double v = (cosines[x] - dySin) * vScale;
            values[x] = (u * u + v * v) / radius2 / s;
        }
        for (size_t x = 0; x < width; ++x) {
            const int byte = static_cast<int>(std::min(1.0, values[x]) * 255);
            row[x] = static_cast<uint8_t>(byte);
        }
    };
    const auto mirrorRow = [=](uint32_t y) {
        const uint8_t *source = data + size_t(height - y) * rowBytes;
        uint8_t *row = data + size_t(y) * rowBytes;
        const double dy = h / 2 - y;
        row[0] = byteAt(0, dy * cosA, dy * sinA);  // column 0 has no mirror image
        for (uint32_t x = 1; x < width; ++x) row[x] = source[width - x];
    };
    maskpixels::ForEachRowBand(std::min(computed, height), width, [&](uint32_t firstRow, uint32_t endRow) {
        std::vector<double> values(width);
        for (uint32_t y = firstRow; y < endRow; ++y) paintRow(y, values.data());
    });
    for (uint32_t y = computed; y < height; ++y) mirrorRow(y);
    mask.DidWritePixels();  // every pixel was written
}

// Shapes 16 to 18: the superformula outline of the type's parameters.
CGPathRef CreateSupershapePath(int type, const MaskParams &params, double side, CGPoint centre) {
    const double p1 = params.Param[1], p2 = params.Param[2], p3 = params.Param[3];
    CoreGeometry::SupershapeFn shape;
    shape.mSize = CGSizeMake(side, side);
    switch (type) {
    case 16:
        shape.SetParams(float(2 * std::trunc(14 * p1 + 3)), float(25 * p2 + 0.5), 9.29f, float(50 * p3 + 1), 1, 1,
                        1024, 1, 0, true);
        break;
    case 17:
        shape.SetParams(float((2 * std::trunc(10 * p1 + 0.5) + 1) / 2), float(2 * p3 - 1), 0, 5.92f, 1,
                        float(2 * p2 + 0.5), 1024, 4, 0, true);
        break;
    default:
        shape.SetParams(float(2 * std::trunc(16 * p1 + 0.5)), float(10 * p3 - 10), float(60 * p1 + 10), 0,
                        float(p2 + 0.6), 0.5f, 1024, 1, 0, true);
        break;
    }
    shape.Generate(centre);
    return CoreGeometry::CreatePathWithLines(shape, CGPointMake(0, 0), true);
}

}  // namespace

int ClipArtCount() { return kClipArtCount; }

CFURLRef CopyClipArtURL(int index) {
    index = std::clamp(index, 0, kClipArtCount);
    if (index == kClipArtCount) return nullptr;
    return CopyMainBundleResourceURL(kClipArtNames[index], CFSTR("pdf"));
}

void MaskContext::MakeMaskShape(int type, const MaskParams *params) {
    if (!IsConstructed()) return;
    const MaskParams defaults;
    const MaskParams &p = params != nullptr ? *params : defaults;
    if (type < 1 || type > 18) {
        if (!MakeTransparent())
            _CoreMachDebugVerifyBody("MakeMaskShape", "/Code/sdk/CoreG/namespace_CoreGraphics_MaskContext", 923,
                                     " code : MakeTransparent()");
        return;
    }

    const double width = mImageWidth, height = mImageHeight;
    const double p0 = p.Param[0], p1 = p.Param[1];
    const double angle = p.AngleDegrees[0];

    // The origin at the mask's centre, turned by the angle; the scope restores the state.
    ContextCentered centered(CGRectMake(0, 0, width, height), mContext);
    if (angle != 0) CGContextRotateCTM(mContext, angle * kPi / 180);

    const double s = p0 * 1.1 + 0.1;
    CGRect R = CentredRect(CGPointMake(0, 0), width * s, height * s);
    const double k = 2 * p1;
    if ((type == 4 || type == 5 || type == 8) && k != 1)
        R = CentredRect(Centre(R), R.size.width * std::min(k, 1.0), R.size.height * (k > 1 ? 2 - k : 1));
    const double m = std::min(R.size.width, R.size.height);
    const CGRect Q = CentredRect(Centre(R), m, m);

    // Every shape starts from an opaque mask and cuts its figure into it; the radial Gaussian
    // writes every byte itself.
    if (type != 1) MakeOpaque();
    CGContextRef context = mContext;
    switch (type) {
    case 1: PaintRadialGaussian(*this, angle * kPi / 180, k, s); break;
    case 2: DrawConcentricEllipses(context, Q, p1); break;
    case 5: DrawConcentricEllipses(context, R, p1); break;
    case 3:
        FillBlack(context);
        CGContextFillEllipseInRect(context, Q);
        break;
    case 4:
        FillBlack(context);
        CGContextFillEllipseInRect(context, R);
        break;
    case 6:
        FillBlack(context);
        CGContextFillRect(context, Q);
        break;
    case 8:
        FillBlack(context);
        CGContextFillRect(context, R);
        break;
    case 7:
    case 9: {
        const double corner = type == 7 ? (p1 + 0.05) * m * 0.5 : ((p1 + 0.1) + 0.05) * m * 0.5;
        const ScaledRoundRect record(type == 7 ? Q : R, corner, corner);
        FillBlack(context);
        RoundRectPathDraw(record, context, 0, 0, 0);
        break;
    }
    case 10:
    case 12:
    case 14: {
        const int n = type == 14 ? int(2 * (20 * p1 + 1)) : int(5 + 20 * p1);
        const int kind = type == 10   ? CoreGeometry::EquilateralVertices::kPolygon
                         : type == 12 ? CoreGeometry::EquilateralVertices::kStar
                                      : CoreGeometry::EquilateralVertices::kPinwheel;
        const CoreGeometry::EquilateralVertices vertices(CGSizeMake(m, m), n, kind, 0, 360);
        FillPath(context, CoreGeometry::CreatePathWithLines(vertices, CGPointMake(0, 0), true));
        break;
    }
    case 11:
        FillPath(context, CoreGeometry::CreatePathWithCurves(CoreGeometry::HeartSegments(R.size), CGPointMake(0, 0)));
        break;
    case 13: {
        const CoreGeometry::FlowerVertices vertices(CGSizeMake(m, m), false, int(14 * p1 + 3), 1);
        FillPath(context, CoreGeometry::CreatePathWithArcs(vertices, CGPointMake(0, 0), true));
        break;
    }
    case 15: {
        CFURLRef url = CopyClipArtURL(int(p1 * (kClipArtCount + 1)));
        if (url != nullptr) {
            DrawPDFPageInRect(context, url, R, float(width / 640 * s), float(height / 480 * s));
            CFRelease(url);
        }
        break;
    }
    default:  // 16, 17, 18
        FillPath(context, CreateSupershapePath(type, p, m, Centre(R)));
        break;
    }
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_MaskShapes() {
    return import_namespace_CoreGraphics_MaskContext() && import_namespace_CoreGeometry_PathVertices() &&
           import_namespace_CoreGraphics_QuartzDrawing() && import_namespace_CoreGraphics_ContextCentered();
}
