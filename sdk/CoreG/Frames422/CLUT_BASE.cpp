#include <CoreG/Frames422/CLUT_BASE.h>

#include <cmath>

namespace {

// The steepest gamma curve: exponent 100.
constexpr float kSmallestGamma = 0.01f;

// A setting limited to 0..1, NaN 0.
float Setting(float value) {
    if (!(value > 0.0f)) return 0.0f;
    return value < 1.0f ? value : 1.0f;
}

}  // namespace

template <typename T, int kMax>
CLUT_BASE<T, kMax>::CLUT_BASE()
    : mContrast(1.0f),
      mBrightness(1.0f),
      mGamma(1.0f),
      mBlackLevel(0),
      mWhiteLevel(kMax),
      mBlackWhiteStretch(float(kMax + 1) / float(kMax)) {
    MakeIdentity();
}

template <typename T, int kMax>
void CLUT_BASE<T, kMax>::MakeIdentity() {
    for (int i = 0; i < kEntries; ++i) mTable[i] = T(i);
}

template <typename T, int kMax>
void CLUT_BASE<T, kMax>::MakeAdjusted(float brightness, float contrast, float gamma, float black, float white) {
    constexpr float kTop = float(kMax);
    mBrightness = 2.0f * Setting(brightness);
    mContrast = 2.0f * Setting(contrast);
    mGamma = 2.0f * Setting(gamma);

    mBlackLevel = int32_t(Setting(black) * float((kMax + 1) / 2) - float((kMax + 1) / 4));
    const int32_t whiteLevel = int32_t(float(mBlackLevel) + float(kMax - mBlackLevel) * Setting(white));
    mWhiteLevel = whiteLevel < mBlackLevel + 1 ? mBlackLevel + 1 : whiteLevel > kMax ? kMax : whiteLevel;
    mBlackWhiteStretch = float(kMax + 1) / float(mWhiteLevel - mBlackLevel);

    const float exponent = 1.0f / (mGamma > kSmallestGamma ? mGamma : kSmallestGamma);
    for (int i = 0; i < kEntries; ++i) {
        float v = float(i);
        if (mContrast != 1.0f) v = ((float(i) / kTop - 0.5f) * mContrast + 0.5f) * kTop;
        v = v * mBrightness;
        if (mGamma != 1.0f) {
            v = v < 0.0f ? 0.0f : v > kTop ? kTop : v;
            v = std::pow(v / kTop, exponent) * kTop;
        }
        const float entry = (v - float(mBlackLevel)) * mBlackWhiteStretch;
        // Limited before the conversion, which is only defined for values that fit.
        mTable[i] = entry > 0.0f ? (entry < kTop ? T(int(entry)) : T(kMax)) : T(0);
    }
}

template struct CLUT_BASE<unsigned short, 255>;

bool import_CLUT_BASE() { return true; }
