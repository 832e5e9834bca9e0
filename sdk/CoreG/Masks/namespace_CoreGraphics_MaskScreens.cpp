#include <CoreG/Masks/namespace_CoreGraphics_MaskScreens.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include <CoreG/Drawing/namespace_CoreGeometry_PathVertices.h>
#include <CoreG/Drawing/namespace_CoreGeometry_PerlinNoise.h>
#include <CoreG/Drawing/namespace_CoreGraphics_ContextCentered.h>
#include <CoreX/CoreMachDebugLog.h>

#include <CoreG/Masks/namespace_CoreGraphics_MaskPixels.h>

namespace CoreGraphics {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char *kFile = "/Code/sdk/CoreG/namespace_CoreGraphics_MaskContext";

constexpr std::array<uint8_t, 256> MakeRamp() {
    std::array<uint8_t, 256> ramp{};
    for (int i = 0; i < 256; ++i) {
        if (i < 112) ramp[size_t(i)] = 0;
        else if (i < 128) ramp[size_t(i)] = uint8_t(16 * (i - 112) + 15);
        else if (i < 240) ramp[size_t(i)] = 255;
        else ramp[size_t(i)] = uint8_t(240 - 16 * (i - 240));
    }
    return ramp;
}

// Built by the compiler: there is nothing to initialise at run time, so any number of
// screens may read it at once from any thread.
constexpr std::array<uint8_t, 256> kRamp = MakeRamp();

// v in degrees wrapped into [0, 360), fraction kept (v finite).
double WrapDegrees(double v) {
    double d = std::fmod(v, 360.0);
    if (d < 0) d += 360.0;
    if (d >= 360.0) d = 0;  // a tiny negative value rounds up to 360
    return d;
}

double Level(double w) {
    const double g = (w + 1) / 2;
    return maskpixels::ClampedFraction(g);
}

// The waveform as the waveform screens drive it.
struct WaveSettings {
    int kind;
    double frequency;
    double phase;
    double amplitude;

    WaveSettings(const MaskParams &p, uint32_t height)
        : kind(int(7 * double(p.Param[2]))),
          frequency(0.25 * height * (1 - double(p.Param[0])) * (1 - double(p.Param[0])) + 1),
          phase(double(p.AngleDegrees[0]) / 360 * 2 * kPi), amplitude(2 * double(p.Param[1])) {}

    // The level g of the waveform at an angle in degrees (wrapped first).
    double LevelAtDegrees(double degrees) const {
        if (!std::isfinite(degrees)) degrees = 0;
        return Level(Waveform(kind, WrapDegrees(degrees) * kPi / 180, frequency, phase, amplitude));
    }
};

// The grid of the block screens (5 to 8 and 19). Cell and gap are kept as ints and the pitch
// is at least 1, so that tiny masks do not divide by zero.
struct CellGrid {
    int cell, gap, pitch, columns, rows, xOffset, yOffset;
    double phase, amplitude;

    CellGrid(const MaskParams &p, uint32_t width, uint32_t height, int minimumGap) {
        const double p0 = p.Param[0], p1 = p.Param[1];
        const int M = int(std::max(width, height));
        cell = std::max(0, int(p0 * p0 * (M / 3 - 2) + 2));
        gap = std::max(0, int(p1 * p1 * (M / 32 - minimumGap) + minimumGap));
        pitch = std::max(1, cell + gap);
        columns = int(width) / pitch + 1;
        rows = int(height) / pitch + 1;
        xOffset = int((int(width) - columns * pitch) * 0.5);
        yOffset = int((int(height) - rows * pitch) * 0.5);
        phase = 2 * double(p.AngleDegrees[0]) / 360;
        amplitude = 16 * double(p.Param[2]);
    }

    CGRect Cell(int i, int j) const { return CGRectMake(pitch * i + xOffset, pitch * j + yOffset, cell, cell); }
};

void ReportTransparentFailure(int line) {
    _CoreMachDebugVerifyBody("MakeMaskScreen", kFile, line, " code : MakeTransparent()");
}

// Types 1 and 2: a fan of white rays from the centre or from a corner.
void PaintRays(MaskContext &mask, int type, const MaskParams &p) {
    const double w = mask.mImageWidth, h = mask.mImageHeight;
    const double p0 = p.Param[0], angle = p.AngleDegrees[0];
    CGContextRef context = mask.mContext;
    ContextCentered centered(CGRectMake(0, 0, w, h), context);
    CGSize size;
    int n;
    float endDegrees;
    if (type == 1) {
        if (angle != 0) CGContextRotateCTM(context, angle * kPi / 180);
        n = int((1 - p0) * (1 - p0) * 1074 + 6);
        size = CGSizeMake(std::min(2 * w, 2 * h), std::min(2 * w, 2 * h));
        endDegrees = 360;
    } else {
        n = int((1 - p0) * (1 - p0) * 1056 + 24);
        if (angle < 90) {
            centered.MoveOriginToCorner(0);
        } else if (angle < 180) {
            centered.MoveOriginToCorner(3);
            CGContextRotateCTM(context, 90 * kPi / 180);
        } else if (angle < 270) {
            centered.MoveOriginToCorner(1);
            CGContextRotateCTM(context, 180 * kPi / 180);
        } else {
            centered.MoveOriginToCorner(2);
            CGContextRotateCTM(context, 270 * kPi / 180);
        }
        size = CGSizeMake(std::min(4 * w, 4 * h), std::min(4 * w, 4 * h));
        endDegrees = 90;
    }
    const CoreGeometry::EquilateralVertices rays(size, n, CoreGeometry::EquilateralVertices::kPinwheel, 0, endDegrees);
    mask.MakeTransparent();
    CGPathRef path = CoreGeometry::CreatePathWithLines(rays, CGPointMake(0, 0), true);
    if (path == nullptr) return;
    CGContextSetRGBFillColor(context, 1, 1, 1, double(p.Param[2]));
    CGContextBeginPath(context);
    CGContextAddPath(context, path);
    CGContextFillPath(context);
    CGPathRelease(path);
}

// atan on [0, 1] to within 6e-12: the Taylor polynomial of degree 4 about the nearest of the
// 65 points t_i = i / 64 (|t - t_i| <= 1/128), whose first left-out term is below
// 24 / 5! x (1/128)^5 < 6e-12; the arctangents of the points come from std::atan.
struct NearAtan {
    double terms[65][5];

    NearAtan() {
        for (int i = 0; i <= 64; ++i) {
            const double t = i / 64.0, q = 1 / (1 + t * t);
            terms[i][0] = std::atan(t);
            terms[i][1] = q;
            terms[i][2] = -t * q * q;
            terms[i][3] = (3 * t * t - 1) / 3 * q * q * q;
            terms[i][4] = t * (1 - t * t) * q * q * q * q;
        }
    }

    double operator()(double t) const {
        const int i = int(t * 64 + 0.5);
        const double h = t - i * (1.0 / 64);
        const double *a = terms[i];
        return a[0] + h * (a[1] + h * (a[2] + h * (a[3] + h * a[4])));
    }

    // atan2(y, x) for x and y finite and not 0, to within 1e-11.
    double Atan2(double y, double x) const {
        const double ax = std::fabs(x), ay = std::fabs(y);
        double theta = ay <= ax ? (*this)(ay / ax) : kPi / 2 - (*this)(ax / ay);
        if (x < 0) theta = kPi - theta;
        return y < 0 ? -theta : theta;
    }
};

// The spiral's ramp index, the low 8 bits of trunc(v) for
// v = (atan2(y, x) + a) / pi x 128 + sqrt(x^2 + y^2) x k + 128. libm's atan2 dominates the
// screen, so v is first estimated with NearAtan: its error, and the different rounding of the
// few operations after it, move v by less than 1e-8, so when no integer lies within 1e-6 of
// the estimate its truncation is exact; otherwise (and on the axes) v is computed as written.
inline uint8_t SpiralIndex(const NearAtan &nearAtan, double x, double y, double a, double k) {
    const double radial = std::sqrt(x * x + y * y) * k;
    if (x != 0 && y != 0) {
        constexpr double kMargin = 1e-6;
        const double v = (nearAtan.Atan2(y, x) + a) * (128 / kPi) + radial + 128;
        const double lo = v - kMargin, hi = v + kMargin;
        if (lo >= 0 && hi < 4.0e15) {
            const int64_t index = static_cast<int64_t>(lo);  // lo >= 0: trunc is floor
            if (index == static_cast<int64_t>(hi)) return static_cast<uint8_t>(index & 0xFF);
        }
    }
    return maskpixels::LowByteOfTruncated((std::atan2(y, x) + a) / kPi * 128 + radial + 128);
}

void PaintSpiral(MaskContext &mask, const MaskParams &p) {
    const double w = mask.mImageWidth, h = mask.mImageHeight;
    const double p0 = p.Param[0], p1 = p.Param[1], p2 = p.Param[2];
    const double k = maskpixels::ClampedInt((1 - p0) * 32512, 256, 32768);
    const double a = double(p.AngleDegrees[0]) * kPi / 180;
    const double stretch = 4 * p1 * p1 + 0.5;
    const NearAtan nearAtan;
    // The byte of every ramp value.
    uint8_t bytes[256];
    for (int i = 0; i < 256; ++i) bytes[i] = kRamp[size_t(i)] == 0 ? 0 : maskpixels::ByteOf(kRamp[size_t(i)] * p2);
    std::vector<double> columnY(mask.mImageWidth);
    for (uint32_t c = 0; c < mask.mImageWidth; ++c) columnY[c] = (c / w - 0.5) * stretch;
    // Locals only in the loop: a byte store could otherwise alias the mask's fields.
    const uint32_t width = mask.mImageWidth;
    const size_t rowBytes = mask.mImageRowBytes;
    uint8_t *const data = mask.mImageDataBytes;
    const double *const ys = columnY.data();
    maskpixels::ForEachRowBand(mask.mImageHeight, width, [&](uint32_t firstRow, uint32_t endRow) {
        for (uint32_t r = firstRow; r < endRow; ++r) {
            uint8_t *row = data + size_t(r) * rowBytes;
            const double x = r / h - 0.5;
            for (uint32_t c = 0; c < width; ++c) row[c] = bytes[SpiralIndex(nearAtan, x, ys[c], a, k)];
        }
    });
    mask.DidWritePixels();  // every pixel was written
}

void PaintParabola(MaskContext &mask, const MaskParams &p) {
    const double w = mask.mImageWidth, h = mask.mImageHeight;
    const double p0 = p.Param[0], p1 = p.Param[1], p2 = p.Param[2];
    const double k = maskpixels::ClampedInt((1 - p0) * 1920 + 128, 128, 2048);
    const double s = 3.99 * p1 + 0.01;
    maskpixels::ForEachRowBand(mask.mImageHeight, mask.mImageWidth, [&](uint32_t firstRow, uint32_t endRow) {
        for (uint32_t r = firstRow; r < endRow; ++r) {
            uint8_t *row = mask.mImageDataBytes + size_t(r) * mask.mImageRowBytes;
            const double y = r / h;
            for (uint32_t c = 0; c < mask.mImageWidth; ++c) {
                const double x = (c / w - 0.5) * s;
                const uint8_t e = kRamp[maskpixels::LowByteOfTruncated(y / (x * x + 0.1) * k)];
                row[c] = maskpixels::ByteOf(255 - (e * p2 + (1 - p2) * 255));
            }
        }
    });
    mask.DidWritePixels();  // every pixel was written
}

void PaintPerlinCells(MaskContext &mask, int type, const MaskParams &p) {
    const CellGrid grid(p, mask.mImageWidth, mask.mImageHeight, 0);
    const CoreGeometry::PerlinNoise &noise = CoreGeometry::PerlinNoise::Singleton();
    const double c = maskpixels::ClampedFraction(1 - double(p.Param[2]));
    CGContextRef context = mask.mContext;
    for (int i = 0; i < grid.columns; ++i) {
        for (int j = 0; j < grid.rows; ++j) {
            const double v = grid.amplitude * noise.Noise2(float(double(i) / grid.columns * 256 + grid.phase),
                                                           float(double(j) / grid.rows * 256 + grid.phase)) +
                             c * c;
            CGContextSetRGBFillColor(context, 0, 0, 0, v);
            if (type == 5) CGContextFillRect(context, grid.Cell(i, j));
            else CGContextFillEllipseInRect(context, grid.Cell(i, j));
        }
    }
}

void PaintPerlinBars(MaskContext &mask, int type, const MaskParams &p) {
    const CellGrid grid(p, mask.mImageWidth, mask.mImageHeight, 0);
    const CoreGeometry::PerlinNoise &noise = CoreGeometry::PerlinNoise::Singleton();
    const double w = mask.mImageWidth, h = mask.mImageHeight;
    CGContextRef context = mask.mContext;
    const int bands = type == 7 ? grid.rows : grid.columns;
    for (int b = 0; b < bands; ++b) {
        const double g = maskpixels::ClampedFraction(
            grid.amplitude * noise.Noise1(float(double(b) / bands * 256 + grid.phase)));
        CGContextSetRGBFillColor(context, g, g, g, 1);
        if (type == 7) CGContextFillRect(context, CGRectMake(0, grid.pitch * b + grid.yOffset, w, grid.cell));
        else CGContextFillRect(context, CGRectMake(grid.pitch * b + grid.xOffset, 0, grid.cell, h));
    }
}

void StrokeSegment(CGContextRef context, double x0, double y0, double x1, double y1) {
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, x0, y0);
    CGContextAddLineToPoint(context, x1, y1);
    CGContextStrokePath(context);
}

void PaintWaveformPlot(MaskContext &mask, const MaskParams &p) {
    const WaveSettings wave(p, mask.mImageHeight);
    const double w = mask.mImageWidth, h = mask.mImageHeight;
    CGContextRef context = mask.mContext;
    CGContextSaveGState(context);
    CGContextSetLineWidth(context, 1);
    CGContextSetLineCap(context, kCGLineCapSquare);
    CGContextSetRGBStrokeColor(context, 0.25, 0.25, 0.25, 0.25);
    for (uint32_t q = 0; q < 4 * mask.mImageWidth; ++q) {
        const double t = q * 0.25 / w;
        const double theta = WrapDegrees(maskpixels::ClampedFraction(t) * 360) * kPi / 180;
        const double W = Waveform(wave.kind, theta, wave.frequency, wave.phase, wave.amplitude);
        StrokeSegment(context, q / 4.0, h / 2, q / 4.0, std::trunc((W + 1) / 2 * h));
    }
    CGContextRestoreGState(context);
}

void PaintLineFilter(MaskContext &mask, int type, const MaskParams &p) {
    const WaveSettings wave(p, mask.mImageHeight);
    const double w = mask.mImageWidth, h = mask.mImageHeight;
    CGContextRef context = mask.mContext;
    CGContextSaveGState(context);
    CGContextSetLineWidth(context, 1);
    CGContextSetShouldAntialias(context, false);
    const uint32_t lines = type == 10 ? mask.mImageHeight : mask.mImageWidth;
    for (uint32_t i = 0; i < lines; ++i) {
        const double g = wave.LevelAtDegrees(i / (type == 10 ? h : w) * 360);
        CGContextSetRGBStrokeColor(context, g, g, g, 1);
        // Through the pixel centres: line i is exactly row (or column) i.
        if (type == 10) StrokeSegment(context, 0, i + 0.5, w, i + 0.5);
        else StrokeSegment(context, i + 0.5, 0, i + 0.5, h);
    }
    CGContextRestoreGState(context);
}

// The distinct values of v[0..n) and, for each i, the index of v[i] among them.
struct DistinctValues {
    std::vector<double> values;
    std::vector<uint32_t> index;

    explicit DistinctValues(const std::vector<double> &v) : index(v.size()) {
        values = v;
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        for (size_t i = 0; i < v.size(); ++i)
            index[i] = uint32_t(std::lower_bound(values.begin(), values.end(), v[i]) - values.begin());
    }
};

// Types 12 to 15. Both axes are centred on the mask (a mask taller than wide is centred
// across too), and the polar angle is defined on the vertical axis (90 or -90 degrees, 0 at
// the centre itself), where atan(y / x) would divide by zero.
void PaintRadialFilter(MaskContext &mask, int type, const MaskParams &p) {
    const WaveSettings wave(p, mask.mImageHeight);
    const double w = mask.mImageWidth, h = mask.mImageHeight;
    const double M = std::max(w, h);
    const double sqrt2 = std::sqrt(2.0);
    const uint32_t width = mask.mImageWidth, height = mask.mImageHeight;
    std::vector<double> xs(width), ys(height);
    for (uint32_t c = 0; c < width; ++c) xs[c] = (c - (w - M) / 2) / M - 0.5;
    for (uint32_t r = 0; r < height; ++r) ys[r] = (r - (h - M) / 2) / M - 0.5;
    // The byte of the pixel at (x, y), given x^2 and y^2 as well.
    const auto byteAt = [&](double x, double y, double xx, double yy) {
        const double d = std::sqrt(xx + yy);
        double t;
        switch (type) {
        case 12: t = d / sqrt2 * 360; break;
        case 13: t = std::sin(d / sqrt2 * 360 * kPi / 180 + wave.phase) * 360; break;
        case 14: t = d * d / sqrt2 * 360; break;
        default:
            if (x != 0) t = std::atan(y / x) / (2 * kPi) * 360;
            else t = y > 0 ? 90 : y < 0 ? -90 : 0;
            break;
        }
        return maskpixels::ByteOf((1 - wave.LevelAtDegrees(t)) * 255);
    };
    if (type == 15) {
        maskpixels::ForEachRowBand(height, width, [&](uint32_t firstRow, uint32_t endRow) {
            for (uint32_t r = firstRow; r < endRow; ++r) {
                uint8_t *row = mask.mImageDataBytes + size_t(r) * mask.mImageRowBytes;
                for (uint32_t c = 0; c < width; ++c) row[c] = byteAt(xs[c], ys[r], xs[c] * xs[c], ys[r] * ys[r]);
            }
        });
        mask.DidWritePixels();  // every pixel was written
        return;
    }
    // The other types depend on x^2 and y^2 alone, and the mirror images of most columns
    // (rows) about the centre give the same square: each distinct pair of squares is worked
    // out once, into a table, then every pixel looks its byte up.
    std::vector<double> xx(width), yy(height);
    for (uint32_t c = 0; c < width; ++c) xx[c] = xs[c] * xs[c];
    for (uint32_t r = 0; r < height; ++r) yy[r] = ys[r] * ys[r];
    const DistinctValues columns(xx), rows(yy);
    const size_t tableWidth = columns.values.size();
    std::vector<uint8_t> table(tableWidth * rows.values.size());
    // x^2 + y^2 is y^2 + x^2: when a row's square is also a column's and the other way round,
    // the pair (a, b) has the byte of the pair (b, a). Only pairs with a <= b are evaluated
    // then; the others are copied once those are done. kNone: not among the other axis's.
    constexpr uint32_t kNone = UINT32_MAX;
    const auto positionsAmong = [kNone](const std::vector<double> &values, const std::vector<double> &among) {
        std::vector<uint32_t> positions(values.size(), kNone);
        for (size_t i = 0; i < values.size(); ++i) {
            const auto found = std::lower_bound(among.begin(), among.end(), values[i]);
            if (found != among.end() && *found == values[i]) positions[i] = uint32_t(found - among.begin());
        }
        return positions;
    };
    const std::vector<uint32_t> columnAsRow = positionsAmong(columns.values, rows.values);
    const std::vector<uint32_t> rowAsColumn = positionsAmong(rows.values, columns.values);
    const auto mirrored = [&](uint32_t j, size_t i) {
        return rowAsColumn[j] != kNone && columnAsRow[i] != kNone && rows.values[j] > columns.values[i];
    };
    const auto fillTable = [&](bool copies) {
        maskpixels::ForEachRowBand(uint32_t(rows.values.size()), uint32_t(tableWidth), [&](uint32_t first, uint32_t end) {
            for (uint32_t j = first; j < end; ++j) {
                for (size_t i = 0; i < tableWidth; ++i) {
                    if (mirrored(j, i) != copies) continue;
                    table[j * tableWidth + i] = copies ? table[columnAsRow[i] * tableWidth + rowAsColumn[j]]
                                                       : byteAt(0, 0, columns.values[i], rows.values[j]);
                }
            }
        });
    };
    fillTable(false);
    fillTable(true);
    // Locals only in the loop: a byte store could otherwise alias the fields and vectors.
    uint8_t *const data = mask.mImageDataBytes;
    const size_t rowBytes = mask.mImageRowBytes;
    const uint8_t *const bytes = table.data();
    const uint32_t *const columnIndex = columns.index.data(), *const rowIndex = rows.index.data();
    maskpixels::ForEachRowBand(height, width, [=](uint32_t firstRow, uint32_t endRow) {
        for (uint32_t r = firstRow; r < endRow; ++r) {
            uint8_t *row = data + size_t(r) * rowBytes;
            const uint8_t *tableRow = bytes + rowIndex[r] * tableWidth;
            for (uint32_t c = 0; c < width; ++c) row[c] = tableRow[columnIndex[c]];
        }
    });
    mask.DidWritePixels();  // every pixel was written
}

void PaintLineScreen(MaskContext &mask, int type, const MaskParams &p) {
    const double p0 = p.Param[0], p1 = p.Param[1];
    const double w = mask.mImageWidth, h = mask.mImageHeight;
    const int m = int(std::max(mask.mImageWidth, mask.mImageHeight) / 4);
    const int step = int(p0 * p0 * m + 1) + int(p1 * p1 * m + 1);
    const double g = maskpixels::ClampedFraction(p.Param[2]);
    CGContextRef context = mask.mContext;
    CGContextSaveGState(context);
    CGContextSetRGBStrokeColor(context, g, g, g, 1);
    CGContextSetLineWidth(context, 1);
    CGContextSetShouldAntialias(context, false);
    // Through the pixel centres: the line at x is exactly column x (row y for y).
    if (type == 17 || type == 18)
        for (uint32_t x = 0; x < mask.mImageWidth; x += uint32_t(step)) StrokeSegment(context, x + 0.5, 0, x + 0.5, h);
    if (type == 16 || type == 18)
        for (uint32_t y = 0; y < mask.mImageHeight; y += uint32_t(step)) StrokeSegment(context, 0, y + 0.5, w, y + 0.5);
    CGContextRestoreGState(context);
}

void PaintSquareBlocks(MaskContext &mask, const MaskParams &p) {
    const CellGrid grid(p, mask.mImageWidth, mask.mImageHeight, 1);
    const double g = maskpixels::ClampedFraction(p.Param[2]);
    CGContextRef context = mask.mContext;
    CGContextSetRGBFillColor(context, g, g, g, 1);
    for (int i = 0; i < grid.columns; ++i)
        for (int j = 0; j < grid.rows; ++j) CGContextFillRect(context, grid.Cell(i, j));
}

}  // namespace

double Waveform(int kind, double theta, double frequency, double phase, double amplitude) {
    const double x = (theta + phase) * frequency;
    if (!std::isfinite(x)) return 0;
    switch (kind) {
    case 0: return WrapDegrees(x * 180 / kPi) < 180 ? amplitude : -amplitude;
    case 1: {
        const double d = WrapDegrees(x * 180 / kPi);
        return d == 0 ? 0 : (2 * d / 360 - 1) * amplitude;
    }
    case 2: return (2 * std::acos(std::cos(x)) / kPi - 1) * amplitude;
    case 3: return amplitude * std::sin(x);
    case 4: return amplitude * std::cos(x);
    case 5: return amplitude * std::fabs(std::sin(x));
    case 6: return amplitude * std::fabs(std::cos(x));
    case 7: {
        const CoreGeometry::PerlinNoise &noise = CoreGeometry::PerlinNoise::Singleton();
        const double degrees = std::acos(std::cos(x)) * 180 / kPi;
        return 4 * amplitude *
               noise.Noise1FromNormalValue(float(degrees / 360),
                                           unsigned(CoreGeometry::PerlinNoise::OctaveFromFrequency(float(frequency))));
    }
    default: return -amplitude;
    }
}

const uint8_t *MaskScreenRampTable() { return kRamp.data(); }

void MaskContext::MakeMaskScreen(int type, const MaskParams *params) {
    if (!IsConstructed()) return;
    const MaskParams defaults;
    const MaskParams &p = params != nullptr ? *params : defaults;
    // The start fill; the types that compute every byte, and 22, have none.
    switch (type) {
    case 3:
    case 4:
    case 12:
    case 13:
    case 14:
    case 15:
    case 22: break;
    case 1:
    case 2: break;  // the rays clear the mask themselves
    case 16:
    case 17:
    case 18:
        if (!MakeTransparent()) ReportTransparentFailure(1126);
        break;
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 19:
    case 21: MakeOpaque(); break;
    default:  // 0, 20 and unknown types
        if (!MakeTransparent()) ReportTransparentFailure(1116);
        return;
    }

    CGContextSaveGState(mContext);
    switch (type) {
    case 1:
    case 2: PaintRays(*this, type, p); break;
    case 3: PaintSpiral(*this, p); break;
    case 4: PaintParabola(*this, p); break;
    case 5:
    case 6: PaintPerlinCells(*this, type, p); break;
    case 7:
    case 8: PaintPerlinBars(*this, type, p); break;
    case 9: PaintWaveformPlot(*this, p); break;
    case 10:
    case 11: PaintLineFilter(*this, type, p); break;
    case 12:
    case 13:
    case 14:
    case 15: PaintRadialFilter(*this, type, p); break;
    case 16:
    case 17:
    case 18: PaintLineScreen(*this, type, p); break;
    case 19: PaintSquareBlocks(*this, p); break;
    case 21: FillPerlinNoise(int(double(p.Param[0]) * 128 + 1), p.Param[1]); break;
    default: break;  // 22
    }
    CGContextRestoreGState(mContext);
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_MaskScreens() {
    return import_namespace_CoreGraphics_MaskContext() && import_namespace_CoreGeometry_PathVertices() &&
           import_namespace_CoreGeometry_PerlinNoise() && import_namespace_CoreGraphics_ContextCentered();
}
