#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include <dispatch/dispatch.h>

#include <CoreX/CoreMachDebugLog.h>

#include <CoreG/Masks/namespace_CoreGraphics_MaskPixels.h>

void MaskParams::Reset() {
    for (auto &angle : AngleDegrees) angle = 0.0f;
    for (auto &param : Param) param = 0.5f;
}

namespace CoreGraphics {

namespace maskpixels {

namespace {

// The bands of one ForEachRowBand call, shared with helpers that may start after it returned
// (they then find no band left and touch nothing else).
struct RowBands {
    std::function<void(uint32_t, uint32_t)> body;
    uint32_t rows = 0, bandRows = 0, bands = 0;
    std::atomic<uint32_t> next{0};
    std::atomic<uint32_t> done{0};
    std::mutex lock;
    std::condition_variable finished;
    bool allDone = false;  // under lock
    std::atomic<uint32_t> helpersToStart{0};

    // Starts one more helper on the queue unless all have been started or no band is left.
    static void startHelper(dispatch_queue_t queue, const std::shared_ptr<RowBands> &shared) {
        uint32_t left = shared->helpersToStart.load();
        do {
            if (left == 0 || shared->next.load() >= shared->bands) return;
        } while (!shared->helpersToStart.compare_exchange_weak(left, left - 1));
        dispatch_async(queue, [queue, shared] {
            startHelper(queue, shared);
            shared->work();
        });
    }

    // Runs bands until none is left. Only the thread finishing the last band takes the lock.
    void work() {
        for (;;) {
            const uint32_t band = next.fetch_add(1);
            if (band >= bands) return;
            const uint32_t first = band * bandRows;
            body(first, std::min(rows, first + bandRows));
            if (done.fetch_add(1) + 1 == bands) {
                std::lock_guard<std::mutex> guard(lock);
                allDone = true;
                finished.notify_all();
            }
        }
    }
};

}  // namespace

void ForEachRowBand(uint32_t rows, uint32_t width, const std::function<void(uint32_t, uint32_t)> &body) {
    constexpr uint64_t kPixelsPerBand = 16384;  // below this a thread costs more than it saves
    const uint64_t pixels = uint64_t(rows) * width;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    dispatch_queue_t queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0);
    if (pixels < 2 * kPixelsPerBand || cores < 2 || queue == nullptr) {
        if (rows > 0) body(0, rows);
        return;
    }
    auto shared = std::make_shared<RowBands>();
    shared->body = body;
    shared->rows = rows;
    shared->bands = uint32_t(std::min<uint64_t>({pixels / kPixelsPerBand, rows, 4ull * cores}));
    shared->bandRows = (rows + shared->bands - 1) / shared->bands;
    shared->bands = (rows + shared->bandRows - 1) / shared->bandRows;
    // Waking a thread costs its waker a system call: the caller wakes one helper, and each
    // helper the next, so that the caller starts on the bands at once.
    shared->helpersToStart = std::min(shared->bands - 1, cores - 1);
    shared->startHelper(queue, shared);
    shared->work();
    if (shared->done.load() == shared->bands) return;
    std::unique_lock<std::mutex> guard(shared->lock);
    shared->finished.wait(guard, [&] { return shared->allDone; });
}

}  // namespace maskpixels

namespace {

constexpr const char *kFile = "/Code/sdk/CoreG/namespace_CoreGraphics_MaskContext";
constexpr size_t kImageBitsPerComponent = 8;

// An opacity for the merge: limited to 0..1, NaN 0, null 1.
float MergeOpacity(const float *opacity) {
    if (opacity == nullptr) return 1.0f;
    return CoreGeometry::T_clamped_value<float>::Constrain(*opacity);
}

// trunc(v x opacity) for every byte value v (single-precision products).
void ScaledBytes(float opacity, int out[256]) {
    for (int v = 0; v < 256; ++v) out[v] = static_cast<int>(static_cast<float>(v) * opacity);
}

template <int Op>
inline int OperatorValue(int a, int b) {
    switch (Op) {
    case 1: return a + b;
    case 2: return b - a;
    case 3: return a - b;
    case 4:
    case 5: return a + b - 255;
    case 6: return 255 - b + a;
    case 7: return 255 - a + b;
    case 8: return a;
    case 9: return 255 - a;
    case 10: return b;
    case 11: return 255 - b;
    default: return a > b ? a : b;
    }
}

// The results of one operator for every pair of bytes, limited to 0..255 and inverted
// when asked: table[v1 * 256 + v2] for the bytes v1 of mask 1 and v2 of mask 2.
template <int Op>
void T_MergeOp(const int scaled1[256], const int scaled2[256], bool invert, uint8_t *table) {
    static_assert(Op >= 0 && Op <= 11);
    for (int v1 = 0; v1 < 256; ++v1) {
        for (int v2 = 0; v2 < 256; ++v2) {
            int r = OperatorValue<Op>(scaled1[v1], scaled2[v2]);
            r = r < 0 ? 0 : r > 255 ? 255 : r;
            if (invert) r = 255 - r;
            table[v1 * 256 + v2] = static_cast<uint8_t>(r);
        }
    }
}

using MergeTableFunction = void (*)(const int *, const int *, bool, uint8_t *);

constexpr MergeTableFunction kMergeTables[12] = {
    T_MergeOp<0>, T_MergeOp<1>, T_MergeOp<2>, T_MergeOp<3>, T_MergeOp<4>,  T_MergeOp<5>,
    T_MergeOp<6>, T_MergeOp<7>, T_MergeOp<8>, T_MergeOp<9>, T_MergeOp<10>, T_MergeOp<11>,
};

}  // namespace

bool MaskContext::Construct(int width, int height) {
    if (IsConstructed()) QitmapContext::Destruct();  // never leak the old bytes and world
    return BitmapContext::Construct(width, height, kBitmapType_Gray8, 0, nullptr);
}

bool MaskContext::SetMaskDimensions(const CGSize &size) {
    if (IsConstructed() && CGFloat(mImageWidth) == size.width && CGFloat(mImageHeight) == size.height) return false;
    if (IsConstructed()) QitmapContext::Destruct();
    bool fReconstructed = Construct(maskpixels::SideFromLength(size.width), maskpixels::SideFromLength(size.height));
    if (!fReconstructed)
        _CoreMachDebugVerifyBody("SetMaskDimensions", kFile, 121, " code : fReconstructed = Construct(inDimensions)");
    return fReconstructed;
}

bool MaskContext::MakeOpacity(float opacity) {
    if (!IsConstructed()) {
        _CoreMachDebugVerifyBody("MakeOpacity", kFile, 293, " code : IsConstructed()");
        return false;
    }
    const CGFloat o = CoreGeometry::T_clamped_value<float>::Constrain(opacity);
    CGContextSaveGState(mContext);
    CGContextSetGrayFillColor(mContext, 1 - o, 1 - o);
    CGContextFillRect(mContext, CGRectMake(0, 0, mImageWidth, mImageHeight));
    CGContextRestoreGState(mContext);
    return true;
}

bool MaskContext::MakeOpaque() {
    if (!IsConstructed()) {
        _CoreMachDebugVerifyBody("MakeOpaque", kFile, 305, " code : IsConstructed()");
        return false;
    }
    std::memset(mImageDataBytes, 255, mImageDataSize);
    DidWritePixels();
    return true;
}

bool MaskContext::MakeOpaque(const float *level) {
    if (!IsConstructed()) {
        _CoreMachDebugVerifyBody("MakeOpaque", kFile, 316, " code : IsConstructed()");
        return false;
    }
    const float l = level != nullptr ? CoreGeometry::T_clamped_value<float>::Constrain(*level) : 1.0f;
    std::memset(mImageDataBytes, static_cast<int>(l * 255.0f), mImageDataSize);
    DidWritePixels();
    return true;
}

bool MaskContext::MakeTransparent() {
    if (!IsConstructed()) {
        _CoreMachDebugVerifyBody("MakeTransparent", kFile, 328, " code : IsConstructed()");
        return false;
    }
    std::memset(mImageDataBytes, 0, mImageDataSize);
    DidWritePixels();
    return true;
}

void MaskContext::SetClearFillColor(CGContextRef context) {
    if (context != nullptr) CGContextSetRGBFillColor(context, 0, 0, 0, 0);
}

CGImageRef MaskContext::ConstructCGImage(CGColorSpaceRef) {
    CGDataProviderRef dataProvider = CGDataProviderCreateWithData(nullptr, mImageDataBytes, mImageDataSize, nullptr);
    if (dataProvider == nullptr) {
        _CoreMachDebugVerifyBody(
            "ConstructCGImage", kFile, 131,
            " code : dataProvider=::CGDataProviderCreateWithData(refcon, mImageDataBytes, mImageDataSize, NULL)");
        return nullptr;
    }
    const bool fShouldInterpolate = true;
    CGImageRef imageRef = CGImageMaskCreate(mImageWidth, mImageHeight, kImageBitsPerComponent, mImageBitsPerPixel,
                                            mImageRowBytes, dataProvider, nullptr, fShouldInterpolate);
    if (imageRef == nullptr)
        _CoreMachDebugVerifyBody("ConstructCGImage", kFile, 134,
                                 " code : imageRef = CGImageMaskCreate(mImageWidth, mImageHeight, "
                                 "kImageBitsPerComponent, mImageBitsPerPixel, mImageRowBytes, dataProvider, 0, "
                                 "fShouldInterpolate)");
    CGDataProviderRelease(dataProvider);
    return imageRef;
}

CGImageRef MaskContext::CreateMaskImage() { return BitmapContext::ConstructCGImage(nullptr); }

uint8_t MaskContext::SampleBilinear(float fx, float fy) const {
    if (mImageDataBytes == nullptr || mImageWidth == 0 || mImageHeight == 0) return 0;
    WillAccessPixels();
    const uint32_t lastColumn = mImageWidth - 1, lastRow = mImageHeight - 1;
    const double x = double(fx) * mImageWidth, y = double(fy) * mImageHeight;
    const uint32_t c0 = maskpixels::ClampedIndex(x, lastColumn);
    const uint32_t c1 = c0 < lastColumn ? c0 + 1 : c0;
    const uint32_t r0 = maskpixels::ClampedIndex(y, lastRow);
    const uint32_t r1 = r0 < lastRow ? r0 + 1 : r0;
    // Outside the picture the edge values hold: the fractions stay within 0..1.
    const double dx = maskpixels::ClampedFraction(x - c0), dy = maskpixels::ClampedFraction(y - r0);
    const uint8_t *row0 = mImageDataBytes + size_t(lastRow - r0) * mImageRowBytes;
    const uint8_t *row1 = mImageDataBytes + size_t(lastRow - r1) * mImageRowBytes;
    const double v = (row0[c0] * (1 - dx) + row0[c1] * dx) * (1 - dy) + (row1[c0] * (1 - dx) + row1[c1] * dx) * dy;
    return maskpixels::ByteOf(v);
}

void MaskContext::MapThroughTable(const uint16_t table[256]) {
    if (table == nullptr || mImageDataBytes == nullptr) return;
    WillAccessPixels();
    for (uint32_t row = 0; row < mImageHeight; ++row) {
        uint8_t *bytes = mImageDataBytes + size_t(row) * mImageRowBytes;
        for (uint32_t column = 0; column < mImageWidth; ++column)
            bytes[column] = static_cast<uint8_t>(table[bytes[column]] & 0xFF);
    }
    DidWritePixels();
}

int MaskContext::MergeOperatorValue(int op, int a, int b) {
    switch (op) {
    case 1: return OperatorValue<1>(a, b);
    case 2: return OperatorValue<2>(a, b);
    case 3: return OperatorValue<3>(a, b);
    case 4: return OperatorValue<4>(a, b);
    case 5: return OperatorValue<5>(a, b);
    case 6: return OperatorValue<6>(a, b);
    case 7: return OperatorValue<7>(a, b);
    case 8: return OperatorValue<8>(a, b);
    case 9: return OperatorValue<9>(a, b);
    case 10: return OperatorValue<10>(a, b);
    case 11: return OperatorValue<11>(a, b);
    default: return OperatorValue<0>(a, b);
    }
}

bool MaskContext::MergeMasks(MaskContext &mask1, const float *opacity1, MaskContext &mask2, const float *opacity2,
                             int op, bool invert) {
    if (!SameDimensions(mask1)) return false;
    if (!SameDimensions(mask2)) {
        _CoreMachDebugVerifyBody("T_MergeOp", kFile, 147, " code : SameDimensions(inMask2)");
        return false;
    }
    if (mImageHeight == 0 || mImageWidth == 0) return true;
    if (mImageDataBytes == nullptr || mask1.mImageDataBytes == nullptr || mask2.mImageDataBytes == nullptr)
        return false;
    int scaled1[256], scaled2[256];
    ScaledBytes(MergeOpacity(opacity1), scaled1);
    ScaledBytes(MergeOpacity(opacity2), scaled2);
    // Each call has its own table: merges of different masks may run on several threads.
    std::unique_ptr<uint8_t[]> table(new uint8_t[256 * 256]);
    kMergeTables[op >= 1 && op <= 11 ? op : 0](scaled1, scaled2, invert, table.get());
    // Every pixel of this mask is written; either source may be this mask itself.
    mask1.WillAccessPixels();
    mask2.WillAccessPixels();
    // One look-up a pixel, in bands of rows on several threads for large masks. Everything
    // the loop reads is held in locals: a byte store could otherwise alias the fields.
    const uint8_t *lookup = table.get();
    const uint8_t *data1 = mask1.mImageDataBytes, *data2 = mask2.mImageDataBytes;
    uint8_t *data = mImageDataBytes;
    const size_t rowBytes1 = mask1.mImageRowBytes, rowBytes2 = mask2.mImageRowBytes, rowBytes = mImageRowBytes;
    const uint32_t width = mImageWidth;
    maskpixels::ForEachRowBand(mImageHeight, width, [=](uint32_t firstRow, uint32_t endRow) {
        for (uint32_t row = firstRow; row < endRow; ++row) {
            const uint8_t *bytes1 = data1 + size_t(row) * rowBytes1;
            const uint8_t *bytes2 = data2 + size_t(row) * rowBytes2;
            uint8_t *out = data + size_t(row) * rowBytes;
            for (uint32_t column = 0; column < width; ++column)
                out[column] = lookup[size_t(bytes1[column]) * 256 + bytes2[column]];
        }
    });
    DidWritePixels();
    return true;
}

bool MaskContext::MergeMasks(MaskContext &mask1, MaskContext &mask2) {
    const float one = 1.0f;
    return MergeMasks(mask1, &one, mask2, &one, 0, false);
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_MaskContext() { return import_CoreMachDebugLog(); }
