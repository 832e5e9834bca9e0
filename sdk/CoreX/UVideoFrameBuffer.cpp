#include <CoreX/UVideoFrameBuffer.h>

#include <CoreX/CoreMachDebugLog.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace UVideoFrameBuffer {

namespace {

constexpr const char *kLogName = "libUVideoFrameBuffer";

// One line under the log name; `what` names the refused frame.
void Refuse(const char *routine, const char *what, const Format &format) {
    __CFRequiredLogPrintf(kLogName, "%s: %s frame refused (%d x %d, format %s, row bytes %d)", routine, what,
                          int(format.mPixelWidth), int(format.mPixelHeight),
                          Format::stringFromPixelFormat(format.mPixelFormat).c_str(), int(format.mPixelRowBytes));
}

// Whether `frame` may be read or written; refuses it with a line when not.
bool CheckFrame(const char *routine, const char *what, const Data &frame) {
    if (frame.HasValidFrameData()) return true;
    Refuse(routine, what, frame.mFrameBufferFormat);
    return false;
}

bool CheckFrames(const char *routine, const Data &dst, const Data &src) {
    const bool source = CheckFrame(routine, "source", src);
    const bool destination = CheckFrame(routine, "destination", dst);
    return source && destination;
}

// Bytes per pixel as the frame lays them out in memory (row bytes / width).
SInt32 StoredPixelBytes(const Format &format) {
    return format.mPixelWidth > 0 ? format.mPixelRowBytes / format.mPixelWidth : 0;
}

// Canonical bytes of a row of a frame known to be valid.
std::size_t RowLength(const Format &format) {
    return std::size_t(Format::GetCanonicalPixelFormatRowBytes(format.mPixelFormat, format.mPixelWidth));
}

// B G R A -> A R G B for `pixels` four-byte pixels.
void ReversePixels(UInt8 *dst, const UInt8 *src, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i, dst += 4, src += 4) {
        const UInt8 b = src[0], g = src[1], r = src[2], a = src[3];
        dst[0] = a;
        dst[1] = r;
        dst[2] = g;
        dst[3] = b;
    }
}

bool SameGeometry(const Format &a, const Format &b) {
    return a.mPixelWidth == b.mPixelWidth && a.mPixelHeight == b.mPixelHeight && a.mPixelRowBytes == b.mPixelRowBytes;
}

// Frames whose pixels are four bytes (or '2vuy' pixel pairs), as the scaler takes them.
bool HasFourBytePixels(const Format &format) {
    return format.mPixelFormat == kPixelFormat_2vuy || Format::PixelSizeBytesFromPixelFormat(format.mPixelFormat) == 4;
}

// Bilinear scaling of four-byte pixels, sample centres aligned. Weights are fixed-point
// (11 bits), the column positions and weights worked out once per call.
void ScaleBilinear(const ImageBuffer &dst, const ImageBuffer &src) {
    constexpr int kBits = 11;
    constexpr UInt32 kOne = 1u << kBits;
    const double sx = double(src.width) / double(dst.width);
    const double sy = double(src.height) / double(dst.height);
    struct Column {
        std::size_t x0, x1;
        UInt32 w;
    };
    std::vector<Column> columns(dst.width);
    for (std::size_t x = 0; x < dst.width; ++x) {
        double fx = (double(x) + 0.5) * sx - 0.5;
        fx = std::clamp(fx, 0.0, double(src.width - 1));
        const std::size_t x0 = std::size_t(fx);
        columns[x] = {x0 * 4, std::min(x0 + 1, src.width - 1) * 4, UInt32(std::lround((fx - double(x0)) * kOne))};
    }
    // Each source row is scaled across once (into one of two row caches), then every
    // destination row is a vertical blend of two cached rows.
    const std::size_t values = dst.width * 4;
    std::vector<UInt32> cache[2] = {std::vector<UInt32>(values), std::vector<UInt32>(values)};
    std::size_t cached[2] = {SIZE_MAX, SIZE_MAX};
    const auto across = [&](std::size_t sourceRow, UInt32 *row) {
        const UInt8 *in = static_cast<const UInt8 *>(src.data) + sourceRow * src.rowBytes;
        for (std::size_t x = 0; x < dst.width; ++x, row += 4) {
            const Column &c = columns[x];
            for (int k = 0; k < 4; ++k) row[k] = in[c.x0 + k] * (kOne - c.w) + in[c.x1 + k] * c.w;
        }
    };
    // The cached row of that number, made in the slot that does not hold `keep`.
    const auto row = [&](std::size_t sourceRow, std::size_t keep) -> const UInt32 * {
        for (int i = 0; i < 2; ++i)
            if (cached[i] == sourceRow) return cache[i].data();
        const int slot = cached[0] == keep ? 1 : 0;
        across(sourceRow, cache[slot].data());
        cached[slot] = sourceRow;
        return cache[slot].data();
    };
    for (std::size_t y = 0; y < dst.height; ++y) {
        double fy = (double(y) + 0.5) * sy - 0.5;
        fy = std::clamp(fy, 0.0, double(src.height - 1));
        const std::size_t y0 = std::size_t(fy);
        const std::size_t y1 = std::min(y0 + 1, src.height - 1);
        const UInt32 wy = UInt32(std::lround((fy - double(y0)) * kOne));
        const UInt32 *top = row(y0, SIZE_MAX);
        const UInt32 *bottom = row(y1, y0);
        UInt8 *out = static_cast<UInt8 *>(dst.data) + y * dst.rowBytes;
        const UInt32 wt = kOne - wy;
        for (std::size_t i = 0; i < values; ++i)
            out[i] = UInt8((top[i] * wt + bottom[i] * wy + (1u << (2 * kBits - 1))) >> (2 * kBits));
    }
}

}  // namespace

// ---- Format ---------------------------------------------------------------------------------

Format::Format(SInt32 width, SInt32 height, tag_pixel_format_t pixelFormat, SInt32 rowBytes)
    : mPixelWidth(width), mPixelHeight(height), mPixelFormat(pixelFormat), mPixelRowBytes(rowBytes) {
    if (rowBytes == 0 && width != 0 && height != 0 && pixelFormat != 0 && pixelFormat != kPixelFormat_None)
        mPixelRowBytes = GetCanonicalPixelFormatRowBytes(pixelFormat, width);
}

void Format::Empty() {
    mPixelWidth = 0;
    mPixelHeight = 0;
    mPixelFormat = kPixelFormat_None;
    mPixelRowBytes = 0;
}

SInt32 Format::PixelSizeBytesFromPixelFormat(tag_pixel_format_t pixelFormat) {
    switch (pixelFormat) {
    case kPixelFormat_2VUY:
    case kPixelFormat_8888:
    case kPixelFormat_ARGB:
    case kPixelFormat_BGRA:
    case kPixelFormat_raw: return 4;
    case kPixelFormat_2vuy: return 2;
    case kPixelFormat_DATA: return 1;
    default: return 0;
    }
}

SInt32 Format::GetCanonicalPixelFormatRowBytes(tag_pixel_format_t pixelFormat, SInt32 width) {
    const SInt64 rowBytes = SInt64(std::max<SInt32>(width, 0)) * PixelSizeBytesFromPixelFormat(pixelFormat);
    return rowBytes <= INT32_MAX ? SInt32(rowBytes) : 0;
}

bool Format::HasValidFormat() const {
    return mPixelWidth > 0 && mPixelHeight > 0 && PixelSizeBytesFromPixelFormat(mPixelFormat) != 0;
}

bool Format::HasValidFrameLayout() const {
    if (!HasValidFormat()) return false;
    const SInt32 row = GetCanonicalPixelFormatRowBytes(mPixelFormat, mPixelWidth);
    return row > 0 && mPixelRowBytes >= row && SInt64(mPixelRowBytes) * mPixelHeight <= INT32_MAX;
}

SInt32 Format::FrameSizeBytes() const { return HasValidFrameLayout() ? mPixelRowBytes * mPixelHeight : 0; }

bool Format::HasSameFrameAspectRatio(const Format &other) const {
    if (mPixelHeight == 0 || other.mPixelHeight == 0) return false;
    const auto ratio = [](const Format &f) { return SInt64(double(f.mPixelWidth) / f.mPixelHeight * 1000.0 + 0.5); };
    return ratio(*this) == ratio(other);
}

std::string Format::stringFromPixelFormat(tag_pixel_format_t pixelFormat) {
    char sBuffer[32];
    const auto printable = [](unsigned value) { return value >= 0x20 && value < 0x7F ? char(value) : '?'; };
    std::snprintf(sBuffer, sizeof sBuffer, "'%c%c%c%c' (%08x)", printable(pixelFormat >> 24),
                  printable((pixelFormat >> 16) & 0xFF), printable((pixelFormat >> 8) & 0xFF),
                  printable(pixelFormat & 0xFF), unsigned(pixelFormat));
    return sBuffer;
}

void Format::DebugDump(const char *prefix) const {
    const char *p = prefix != nullptr ? prefix : "";
    __CFRequiredLogPrintf(kLogName, "\n%s.mPixelFormat=%s\n%s.mPixelWidth=(%dx%d)\n%s.mPixelRowBytes=%04x\n", p,
                          stringFromPixelFormat(mPixelFormat).c_str(), p, int(mPixelWidth), int(mPixelHeight), p,
                          unsigned(mPixelRowBytes));
}

// ---- Data -----------------------------------------------------------------------------------

Data::Data() : mFrameBufferData(nullptr), mFrameBufferDataSizeBytes(0) {}

Data::~Data() { DestructData(); }

bool Data::ConstructData(const Format &format, void *data, SInt32 dataSizeBytes) {
    mFrameBufferFormat.SetFrameBufferFormat(format);
    mFrameBufferData = data;
    mFrameBufferDataSizeBytes = dataSizeBytes;
    return data != nullptr && dataSizeBytes != 0;
}

void Data::DestructData() {
    mFrameBufferData = nullptr;
    mFrameBufferDataSizeBytes = 0;
    mFrameBufferFormat.SetFrameBufferFormatNone();
}

bool Data::HasValidFrameData() const {
    if (IsEmpty() || !mFrameBufferFormat.HasValidFrameLayout()) return false;
    // The last row needs only its canonical bytes.
    const SInt64 needed = SInt64(mFrameBufferFormat.mPixelRowBytes) * (mFrameBufferFormat.mPixelHeight - 1) +
                          RowLength(mFrameBufferFormat);
    return mFrameBufferDataSizeBytes >= needed;
}

UInt8 *Data::GetPixelScanline(SInt32 y) const {
    if (y < 0 || y >= mFrameBufferFormat.mPixelHeight || !HasValidFrameData()) return nullptr;
    return static_cast<UInt8 *>(mFrameBufferData) + std::size_t(y) * std::size_t(mFrameBufferFormat.mPixelRowBytes);
}

UInt8 *Data::CGGetPixelScanline(SInt32 y) const {
    if (y < 0 || y >= mFrameBufferFormat.mPixelHeight) return nullptr;
    return GetPixelScanline(mFrameBufferFormat.mPixelHeight - 1 - y);
}

UInt8 *Data::GetPixelAtPoint(SInt32 x, SInt32 y) const {
    if (x < 0 || x >= mFrameBufferFormat.mPixelWidth) return nullptr;
    UInt8 *row = GetPixelScanline(y);
    // The pixel size of the format, not row bytes / width: a region view keeps its source's
    // row bytes, and padded rows would put pixels in the padding.
    const SInt32 pixelBytes = Format::PixelSizeBytesFromPixelFormat(mFrameBufferFormat.mPixelFormat);
    return row != nullptr ? row + std::size_t(x) * std::size_t(pixelBytes) : nullptr;
}

bool Data::ErasePixelDataWithValue(UInt8 value) {
    if (IsEmpty()) return false;
    std::memset(mFrameBufferData, value, std::size_t(mFrameBufferDataSizeBytes));
    return true;
}

CGRect Data::GetFrameBufferRectWithAspectRatio(double ratio) const {
    const SInt32 width = mFrameBufferFormat.mPixelWidth;
    const SInt32 height = mFrameBufferFormat.mPixelHeight;
    if (height == 0 || double(width) / double(height) == ratio) return CGRectMake(0, 0, width, height);
    const double wanted = ratio * double(height);
    const SInt32 regionWidth = std::isfinite(wanted) && std::fabs(wanted) < INT32_MAX ? SInt32(wanted) : 0;
    return CGRectMake((width - regionWidth) >> 1, 0, regionWidth, height);
}

bool Data::ConstructWithBufferRegion(const Data &source, CGRect rect) {
    if (!CheckFrame("ConstructWithBufferRegion", "source", source)) return false;
    const Format &format = source.mFrameBufferFormat;
    if (!(rect.origin.x >= 0 && rect.origin.y >= 0 && rect.size.width > 0 && rect.size.height > 0 &&
          rect.origin.x + rect.size.width <= format.mPixelWidth &&
          rect.origin.y + rect.size.height <= format.mPixelHeight)) {
        __CFRequiredLogPrintf(kLogName, "ConstructWithBufferRegion: region (%g, %g, %g x %g) is not inside the %d x %d frame",
                              rect.origin.x, rect.origin.y, rect.size.width, rect.size.height,
                              int(format.mPixelWidth), int(format.mPixelHeight));
        return false;
    }
    const SInt32 x = SInt32(rect.origin.x), y = SInt32(rect.origin.y);
    const SInt32 width = SInt32(rect.size.width), height = SInt32(rect.size.height);
    if (width <= 0 || height <= 0) return false;
    const Format region(width, height, format.mPixelFormat, format.mPixelRowBytes);
    UInt8 *origin = source.GetPixelAtPoint(x, y);
    // height x row bytes, but never past the end of the source's bytes: a region that does
    // not start at the left edge ends before its last full row would.
    const SInt64 left = source.mFrameBufferDataSizeBytes - (origin - static_cast<UInt8 *>(source.mFrameBufferData));
    const SInt32 size = SInt32(std::min<SInt64>(SInt64(height) * format.mPixelRowBytes, left));
    return ConstructData(region, origin, size) && HasValidFrameData();
}

bool Data::ConstructWithBufferRegionHavingFrameAspectRatio(const Data &source, double ratio) {
    return ConstructWithBufferRegion(source, source.GetFrameBufferRectWithAspectRatio(ratio));
}

void Data::DebugDump(const char *prefix, bool withFormat) const {
    if (withFormat) mFrameBufferFormat.DebugDump(prefix);
    const char *p = prefix != nullptr ? prefix : "";
    __CFRequiredLogPrintf(kLogName, "\n%s.mFrameBufferDataSizeBytes=%d\n%s.mFrameBufferData=%08lx\n", p,
                          int(mFrameBufferDataSizeBytes), p, (unsigned long)(std::uintptr_t(mFrameBufferData)));
}

// ---- Base -----------------------------------------------------------------------------------

Base::Base() {
    mFrameBufferMutex.ZeroContents();
    mFrameBufferMutexCreated = mFrameBufferMutex.Create();
}

Base::~Base() {
    mFrameBufferMutex.Destroy();
    mFrameBufferMutex.ZeroContents();
    mFrameBufferMutexCreated = false;
}

void Base::LockFrameBuffer() {
    if (mFrameBufferMutexCreated) mFrameBufferMutex.Lock();
}

void Base::UnlockFrameBuffer() {
    if (mFrameBufferMutexCreated) mFrameBufferMutex.Unlock();
}

bool Base::TryLockFrameBuffer() { return mFrameBufferMutexCreated && mFrameBufferMutex.TryLock(); }

bool Base::Construct(CGSize) { return false; }

bool Base::Construct(IOSurfaceRef) { return false; }

bool Base::Construct(const Format &) { return false; }

// ---- Memory ---------------------------------------------------------------------------------

Memory::~Memory() { FreeData(); }

void Memory::FreeData() {
    if (mFrameBufferData != nullptr && mFrameBufferDataSizeBytes != 0) std::free(mFrameBufferData);
    DestructData();
}

bool Memory::Construct(const Format &format) { return ConstructWithFormatAndMinimumDataSize(format, 0); }

bool Memory::ConstructWithFormatAndMinimumDataSize(const Format &format, SInt32 minimumDataSize) {
    FreeData();
    if (!format.HasValidFrameLayout()) {
        Refuse("Memory::Construct", "new", format);
        return false;
    }
    const SInt32 size = std::max(format.FrameSizeBytes(), minimumDataSize);
    void *data = std::malloc(std::size_t(size));
    if (data == nullptr) return false;
    return ConstructData(format, data, size);
}

// ---- ImageBuffer ----------------------------------------------------------------------------

ImageBuffer::ImageBuffer(const Data &frame)
    : data(frame.mFrameBufferData),
      height(std::size_t(std::max<SInt32>(frame.mFrameBufferFormat.mPixelHeight, 0))),
      width(std::size_t(std::max<SInt32>(frame.mFrameBufferFormat.mPixelWidth, 0))),
      rowBytes(std::size_t(std::max<SInt32>(frame.mFrameBufferFormat.mPixelRowBytes, 0))) {
    if (frame.mFrameBufferFormat.mPixelFormat == kPixelFormat_2vuy) width /= 2;
}

// ---- Copy routines --------------------------------------------------------------------------

bool XXXX_FrameHasCorrectFormatForCopying(const Data &dst, const Data &src) {
    return SameGeometry(dst.mFrameBufferFormat, src.mFrameBufferFormat);
}

bool BGRA_FrameHasCorrectFormatForCopying(const Data &dst, const Data &src) {
    return XXXX_FrameHasCorrectFormatForCopying(dst, src) &&
           dst.mFrameBufferFormat.mPixelFormat == src.mFrameBufferFormat.mPixelFormat;
}

bool BGRA_FrameHasCorrectFormatForCopyingOrResizing(const Data &src, const Data &dst) {
    return src.mFrameBufferFormat.mPixelFormat == kPixelFormat_BGRA &&
           StoredPixelBytes(src.mFrameBufferFormat) == StoredPixelBytes(dst.mFrameBufferFormat);
}

bool XXXX_CopySameBufferSizeBytes_XXXX(Data &dst, const Data &src) {
    if (dst.IsEmpty() || src.IsEmpty() || src.mFrameBufferDataSizeBytes < dst.mFrameBufferDataSizeBytes) return false;
    std::memcpy(dst.mFrameBufferData, src.mFrameBufferData, std::size_t(dst.mFrameBufferDataSizeBytes));
    return true;
}

bool XXXX_ExactCopySameSizeTo_XXXX(Data &dst, const Data &src) {
    if (!CheckFrames("XXXX_ExactCopySameSizeTo_XXXX", dst, src)) return false;
    if (!XXXX_FrameHasCorrectFormatForCopying(dst, src)) return false;
    const Format &format = dst.mFrameBufferFormat;
    const std::size_t row = RowLength(src.mFrameBufferFormat);
    for (SInt32 y = 0; y < format.mPixelHeight; ++y) std::memcpy(dst.GetPixelScanline(y), src.GetPixelScanline(y), row);
    return true;
}

bool XXXX_CopyOrBilinearResample_XXXX(Data &dst, Memory &scratch, const Data &src) {
    if (BGRA_FrameHasCorrectFormatForCopying(dst, src)) return XXXX_ExactCopySameSizeTo_XXXX(dst, src);
    return XXXX_BilinearResample_XXXX_vImage(dst, scratch, src);
}

bool XXXX_BilinearResample_XXXX_vImage(Data &dst, Memory &, const Data &src) {
    if (!CheckFrames("XXXX_BilinearResample_XXXX_vImage", dst, src)) return false;
    if (!HasFourBytePixels(src.mFrameBufferFormat) || !HasFourBytePixels(dst.mFrameBufferFormat)) {
        __CFRequiredLogPrintf(kLogName, "XXXX_BilinearResample_XXXX_vImage: frames of %s are not scaled",
                              Format::stringFromPixelFormat(HasFourBytePixels(src.mFrameBufferFormat)
                                                                ? dst.mFrameBufferFormat.mPixelFormat
                                                                : src.mFrameBufferFormat.mPixelFormat)
                                  .c_str());
        return false;
    }
    const ImageBuffer in(src), out(dst);
    if (in.width == 0 || out.width == 0) return false;  // a '2vuy' frame one pixel wide
    ScaleBilinear(out, in);
    return true;
}

bool XXXX_CopyMinimumPixelsRegion_XXXX(Data &dst, const Data &src) {
    if (!CheckFrames("XXXX_CopyMinimumPixelsRegion_XXXX", dst, src)) return false;
    const SInt32 height = std::min(dst.mFrameBufferFormat.mPixelHeight, src.mFrameBufferFormat.mPixelHeight);
    const std::size_t row = std::min(RowLength(dst.mFrameBufferFormat), RowLength(src.mFrameBufferFormat));
    for (SInt32 y = 0; y < height; ++y) std::memcpy(dst.GetPixelScanline(y), src.GetPixelScanline(y), row);
    return true;
}

namespace {

// Checks for the same-size swizzles: both frames valid, four-byte pixels, same width and height.
bool CheckSwizzle(const char *routine, const Data &dst, const Data &src) {
    if (!CheckFrames(routine, dst, src)) return false;
    const Format &s = src.mFrameBufferFormat, &d = dst.mFrameBufferFormat;
    if (Format::PixelSizeBytesFromPixelFormat(s.mPixelFormat) != 4 ||
        Format::PixelSizeBytesFromPixelFormat(d.mPixelFormat) != 4 || s.mPixelWidth != d.mPixelWidth ||
        s.mPixelHeight != d.mPixelHeight) {
        __CFRequiredLogPrintf(kLogName, "%s: needs two frames of four-byte pixels of one size", routine);
        return false;
    }
    return true;
}

void SwizzleRows(Data &dst, const Data &src, bool flip, std::size_t pixels) {
    const SInt32 height = dst.mFrameBufferFormat.mPixelHeight;
    for (SInt32 y = 0; y < height; ++y)
        ReversePixels(dst.GetPixelScanline(y), flip ? src.CGGetPixelScanline(y) : src.GetPixelScanline(y), pixels);
}

}  // namespace

bool BGRA_InvertedCopySwizzleSameSizeTo_ARGB_Scalar(Data &dst, const Data &src) {
    if (!CheckSwizzle("BGRA_InvertedCopySwizzleSameSizeTo_ARGB_Scalar", dst, src)) return false;
    // Four pixels at a time, then the remainder of the row.
    const std::size_t width = std::size_t(dst.mFrameBufferFormat.mPixelWidth);
    const std::size_t blocks = width / 4 * 4;
    const SInt32 height = dst.mFrameBufferFormat.mPixelHeight;
    for (SInt32 y = 0; y < height; ++y) {
        UInt8 *out = dst.GetPixelScanline(y);
        const UInt8 *in = src.CGGetPixelScanline(y);
        ReversePixels(out, in, blocks);
        ReversePixels(out + blocks * 4, in + blocks * 4, width - blocks);
    }
    return true;
}

bool BGRA_InvertedCopySwizzleSameSizeTo_ARGB_vImage(Data &dst, const Data &src) {
    if (!CheckSwizzle("BGRA_InvertedCopySwizzleSameSizeTo_ARGB_vImage", dst, src)) return false;
    SwizzleRows(dst, src, true, std::size_t(dst.mFrameBufferFormat.mPixelWidth));
    return true;
}

bool BGRA_CopySwizzleSameSizeTo_ARGB_vImage(Data &dst, const Data &src) {
    if (!CheckSwizzle("BGRA_CopySwizzleSameSizeTo_ARGB_vImage", dst, src)) return false;
    SwizzleRows(dst, src, false, std::size_t(dst.mFrameBufferFormat.mPixelWidth));
    return true;
}

bool BGRA_InvertedResizeSwizzleTo_ARGB_vImage(Data &dst, Memory &scratch, const Data &src, Memory &sourceMemory) {
    if (!CheckFrames("BGRA_InvertedResizeSwizzleTo_ARGB_vImage", dst, src)) return false;
    if (!BGRA_FrameHasCorrectFormatForCopyingOrResizing(src, dst)) return false;
    const Format &s = src.mFrameBufferFormat;
    const Format flipped(s.mPixelWidth, s.mPixelHeight, dst.mFrameBufferFormat.mPixelFormat, 0);
    if (!sourceMemory.Construct(flipped)) return false;
    if (!BGRA_InvertedCopySwizzleSameSizeTo_ARGB_vImage(sourceMemory, src)) return false;
    return XXXX_BilinearResample_XXXX_vImage(dst, scratch, sourceMemory);
}

bool BGRA_CopyOrResizeFrameSurface(Data &dst, Memory &scratch, const Data &src, Memory &sourceMemory) {
    if (BGRA_FrameHasCorrectFormatForCopyingOrResizing(src, dst)) {
        if (BGRA_FrameHasCorrectFormatForCopying(dst, src)) return BGRA_InvertedCopySwizzleSameSizeTo_ARGB_vImage(dst, src);
        return BGRA_InvertedResizeSwizzleTo_ARGB_vImage(dst, scratch, src, sourceMemory);
    }
    return XXXX_ExactCopySameSizeTo_XXXX(dst, src);
}

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer() { return import_CoreThreadMutex() && import_CoreMachDebugLog(); }
