#include <CocoaGL/NSOGL1DFilterValues.h>

#include <CocoaFoundation/NSData_HexEncoding.h>
#include <CoreFoundation/CFData.h>
#include <CoreG/Drawing/namespace_CoreGeometry_PerlinNoise.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

float Clamp(float value) {
    if (std::isnan(value)) return 0.0f;
    return std::clamp(value, 0.0f, 1.0f);
}

uint32_t ReadWord(const QByteArray &block, qsizetype offset) {
    const auto *p = reinterpret_cast<const uint8_t *>(block.constData()) + offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void AppendWord(QByteArray &block, uint32_t word) {
    const char bytes[4] = {char(word & 0xff), char((word >> 8) & 0xff), char((word >> 16) & 0xff),
                           char((word >> 24) & 0xff)};
    block.append(bytes, 4);
}

CGImageRef CreateGreyImage(const NSOGL1DFilterValues &filter, size_t width, size_t height) {
    const uint32_t count = filter.valuesCount();
    if (count == 0) return nullptr;
    std::vector<uint8_t> pixels(count);
    filter.setPixelData(pixels.data(), true);
    CFDataRef data = CFDataCreate(nullptr, pixels.data(), CFIndex(count));
    if (data == nullptr) return nullptr;
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
    CFRelease(data);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceGray();
    CGImageRef image = CGImageCreate(width, height, 8, 8, width, space, kCGImageAlphaNone, provider, nullptr, false,
                                     kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

}  // namespace

NSOGL1DFilterValues::NSOGL1DFilterValues() : mRandom(std::random_device{}()) {}

NSOGL1DFilterValues::NSOGL1DFilterValues(float value, uint32_t count)
    : mValues(count, Clamp(value)), mRandom(std::random_device{}()) {}

NSOGL1DFilterValues::NSOGL1DFilterValues(const NSOGL1DFilterValues *source, uint32_t count)
    : mValues(count, 0.5f), mRandom(std::random_device{}()) {
    if (source == nullptr) return;
    for (uint32_t i = 0; i < count; ++i)
        mValues[i] = Clamp(source->interpolatedValueForNormalizedIndex(float(i) / float(count)));
}

std::shared_ptr<NSOGL1DFilterValues> NSOGL1DFilterValues::filterWithValue(float value, uint32_t count) {
    return std::make_shared<NSOGL1DFilterValues>(value, count);
}

std::shared_ptr<NSOGL1DFilterValues> NSOGL1DFilterValues::filterWithInterpolatedFilterValues(
    const NSOGL1DFilterValues *source, uint32_t count) {
    return std::make_shared<NSOGL1DFilterValues>(source, count);
}

uint32_t NSOGL1DFilterValues::valuesCountFromStringSampleValuesEncoding(const QString &text) {
    const QByteArray block = HexEncoding::dataWithHexEncodedString(text);
    if (block.size() < 12 || ReadWord(block, 0) != kSampleValuesMarker) return 0;
    return ReadWord(block, 4);
}

std::optional<std::vector<float>> NSOGL1DFilterValues::decodeStringSampleValues(const QString &text) {
    const QByteArray block = HexEncoding::dataWithHexEncodedString(text);
    if (block.size() < 8 || ReadWord(block, 0) != kSampleValuesMarker) return std::nullopt;
    const uint64_t count = ReadWord(block, 4);
    if (uint64_t(block.size()) < 8 + 4 * count) return std::nullopt;  // 64-bit: no wrap for any n
    std::vector<float> samples(std::min<uint64_t>(count, kMaximumValuesCount));
    for (size_t i = 0; i < samples.size(); ++i) {
        const uint32_t word = ReadWord(block, qsizetype(8 + 4 * i));
        std::memcpy(&samples[i], &word, sizeof word);
    }
    return samples;
}

QChar NSOGL1DFilterValues::letterForValue(float value) {
    const int k = std::clamp(int(Clamp(value) * kLetterScaleFloat + 0.5f), 0, int(kLetterScale));
    return QChar(kLetterAlphabet[k]);
}

float NSOGL1DFilterValues::valueForLetter(QChar letter) {
    const char low = char(letter.unicode() & 0xff);
    for (unsigned k = 0; k < kLetterScale; ++k)
        if (kLetterAlphabet[k] == low) return float(k) / kLetterScaleFloat;
    return 1.0f;
}

void NSOGL1DFilterValues::setValuesCount(uint32_t count) { mValues.assign(count, 0.5f); }

float NSOGL1DFilterValues::interpolatedValueForNormalizedIndex(float t) const {
    const uint32_t count = valuesCount();
    if (count == 0) return 0.5f;
    const uint64_t index = uint64_t(float(count) * Clamp(t) + 0.5f);
    return mValues[std::min<uint64_t>(count - 1, index)];
}

float NSOGL1DFilterValues::thetaWithValueIndex(uint32_t index, float frequency, float phaseNormal) const {
    const uint32_t count = valuesCount();
    const float step = count == 0 ? 0.0f : frequency * kTwoPi * float(index) / float(count);
    return kTwoPi * phaseNormal + step;
}

void NSOGL1DFilterValues::setPixelData(uint8_t *pixels, bool invertedPixels) const {
    if (pixels == nullptr) return;
    const uint32_t count = valuesCount();
    for (uint32_t i = 0; i < count; ++i) {
        const float scaled = mValues[i] * 255.0f;
        const uint8_t grey = uint8_t(std::clamp(std::isnan(scaled) ? 0 : int(scaled), 0, 255));
        pixels[invertedPixels ? count - 1 - i : i] = grey;
    }
}

CGImageRef NSOGL1DFilterValues::createTextureImage1DHorizontal() const {
    return CreateGreyImage(*this, valuesCount(), 1);
}

CGImageRef NSOGL1DFilterValues::createTextureImage1DVertical() const { return CreateGreyImage(*this, 1, valuesCount()); }

bool NSOGL1DFilterValues::setValue(float value, uint32_t index) {
    if (index >= valuesCount()) return false;
    const float clamped = Clamp(value);
    if (mValues[index] == clamped) return false;
    mValues[index] = clamped;
    return true;
}

void NSOGL1DFilterValues::setAllValuesToValue(float value) { std::fill(mValues.begin(), mValues.end(), Clamp(value)); }

void NSOGL1DFilterValues::operationAdditionAllValuesWithValue(float d) {
    for (float &v : mValues) v = Clamp(v + d);
}

void NSOGL1DFilterValues::operationMultiplyAllValuesWithValue(float m) {
    for (float &v : mValues) v = Clamp((v - 0.5f) * m + 0.5f);
}

float NSOGL1DFilterValues::wrappedDegrees(float theta) {
    float d = std::fmod(theta * 180.0f / float(M_PI), 360.0f);
    if (d < 0.0f) d += 360.0f;
    if (d >= 360.0f || std::isnan(d)) d = 0.0f;
    return d;
}

float NSOGL1DFilterValues::nextRandom() { return float(mRandom() >> 1) / 2147483648.0f; }

void NSOGL1DFilterValues::setAllValuesToSinFn(float amplitude, float frequency, float phase) {
    for (uint32_t i = 0; i < valuesCount(); ++i)
        mValues[i] = Clamp(amplitude * std::sin(thetaWithValueIndex(i, frequency, phase)) + 0.5f);
}

void NSOGL1DFilterValues::setAllValuesToTriangleFn(float amplitude, float frequency, float phase) {
    for (uint32_t i = 0; i < valuesCount(); ++i) {
        const float t = std::acos(std::cos(thetaWithValueIndex(i, frequency, phase))) / float(M_PI);
        mValues[i] = Clamp(amplitude * (2.0f * t - 1.0f) + 0.5f);
    }
}

void NSOGL1DFilterValues::setAllValuesToSawFn(float amplitude, float frequency, float phase) {
    for (uint32_t i = 0; i < valuesCount(); ++i) {
        const float d = wrappedDegrees(thetaWithValueIndex(i, frequency, phase));
        mValues[i] = d == 0.0f ? 0.5f : Clamp(amplitude * (2.0f * (d / 360.0f) - 1.0f) + 0.5f);
    }
}

void NSOGL1DFilterValues::setAllValuesToSquareFn(float amplitude, float frequency, float phase) {
    for (uint32_t i = 0; i < valuesCount(); ++i) {
        const float d = wrappedDegrees(thetaWithValueIndex(i, frequency, phase));
        mValues[i] = Clamp(amplitude * (d < 180.0f ? 1.0f : -1.0f) + 0.5f);
    }
}

void NSOGL1DFilterValues::setAllValuesToPerlinFn(float amplitude, float frequency, float phase) {
    const CoreGeometry::PerlinNoise &noise = CoreGeometry::PerlinNoise::Singleton();
    for (uint32_t i = 0; i < valuesCount(); ++i) {
        const float x = std::acos(std::cos(thetaWithValueIndex(i, frequency, phase))) / kTwoPi;
        mValues[i] = Clamp(4.0f * amplitude * noise.Noise1(x) + 0.5f);
    }
}

void NSOGL1DFilterValues::setAllValuesToRandomFn(float amplitude, float frequency) {
    for (uint32_t i = 0; i < valuesCount(); ++i) {
        const float d = wrappedDegrees(thetaWithValueIndex(i, frequency, 0.0f));
        mValues[i] = Clamp((d < 180.0f ? 1.0f : -1.0f) * nextRandom() * amplitude + 0.5f);
    }
}

void NSOGL1DFilterValues::setAllValuesToNoiseFn(float amplitude) {
    for (float &v : mValues) v = Clamp((nextRandom() - 0.5f) * amplitude + 0.5f);
}

QString NSOGL1DFilterValues::stringValues() const {
    QString text;
    text.reserve(qsizetype(mValues.size()));
    for (float v : mValues) text.append(letterForValue(v));
    return text;
}

void NSOGL1DFilterValues::setStringValues(const QString &text) {
    if (text.isNull()) return;
    const uint32_t length = uint32_t(std::min<qsizetype>(text.size(), kMaximumValuesCount));
    if (length > valuesCount()) setValuesCount(length);
    const uint32_t limit = std::min(length, valuesCount());
    for (uint32_t i = 0; i < limit; ++i) {
        const QChar letter = text.at(qsizetype(i));
        if (letter.unicode() == 0) break;
        setValue(valueForLetter(letter), i);
    }
}

QString NSOGL1DFilterValues::stringSampleValues() const {
    QByteArray block;
    block.reserve(qsizetype(12 + 4 * mValues.size()));
    AppendWord(block, kSampleValuesMarker);
    AppendWord(block, valuesCount());
    for (float v : mValues) {
        uint32_t word;
        std::memcpy(&word, &v, sizeof word);
        AppendWord(block, word);
    }
    AppendWord(block, 0);  // the trailing word
    return HexEncoding::hexEncodedString(block);
}

bool NSOGL1DFilterValues::setStringSampleValues(const QString &text) {
    const std::optional<std::vector<float>> samples = decodeStringSampleValues(text);
    if (!samples) return false;
    const uint32_t count = uint32_t(samples->size());
    if (count > valuesCount()) setValuesCount(count);
    for (uint32_t i = 0; i < count; ++i) setValue((*samples)[i], i);
    return true;
}

bool import_NSOGL1DFilterValues() { return import_NSData_HexEncoding() && import_namespace_CoreGeometry_PerlinNoise(); }
