// CISampler: how a kernel reads an image, as data: the image, the filter (nearest or linear)
// and what lies outside the image's clamp rectangle (transparent black, or the edge pixels).
#pragma once

#include <CoreImage/CIImage.h>

enum class CISamplerFilterMode { Nearest, Linear };
enum class CISamplerWrapMode { Black, Clamp };

class CISampler {
public:
    CISampler() = default;
    explicit CISampler(CIImageRef image, CISamplerFilterMode filter = CISamplerFilterMode::Linear,
                       CISamplerWrapMode wrap = CISamplerWrapMode::Black)
        : m_image(std::move(image)), m_filter(filter), m_wrap(wrap) {}
    static CISampler samplerWithImage(CIImageRef image) { return CISampler(std::move(image)); }

    const CIImageRef &image() const { return m_image; }
    CISamplerFilterMode filterMode() const { return m_filter; }
    CISamplerWrapMode wrapMode() const { return m_wrap; }
    // The image's extent (CGRectNull for no image).
    CGRect extent() const { return m_image ? m_image->extent() : CGRectNull; }
    // The folded sampler of the image: the uniforms of this sampler.
    CIImageFoldedSampler folded() const { return CIImageFoldSampler(m_image); }

private:
    CIImageRef m_image;
    CISamplerFilterMode m_filter = CISamplerFilterMode::Linear;
    CISamplerWrapMode m_wrap = CISamplerWrapMode::Black;
};
