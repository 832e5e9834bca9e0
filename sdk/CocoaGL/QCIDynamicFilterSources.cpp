#include "QCIDynamicFilterSources.h"

// Borrow chroma: rgb_y/u/v are the studio-swing luma and chroma rows (without the offsets)
// and yuv_r/g/b the rows of that matrix's exact inverse, to 4 decimals:
//   rgb_y ( 0.257,  0.504,  0.098)      yuv_r (1.1641, -0.0018,  1.5958)
//   rgb_u (-0.148, -0.291,  0.439)      yuv_g (1.1641, -0.3914, -0.8135)
//   rgb_v ( 0.439, -0.368, -0.071)      yuv_b (1.1641,  2.0178, -0.0012)
// so a pixel that borrows its own chroma comes back as it was. (A full-range inverse, rows
// (1, 0, 1.4022), (1, -0.3457, -0.7145), (1, 1.7710, 0), would turn white into grey 0.859.)
const char *QCIBorrowChromaFilter_dynamicFilterSourceCode() {
    return "const vec3 rgb_y = vec3(0.257,   0.504, 0.098);\r\n"
           "const vec3 rgb_u = vec3(-0.148, -0.291, 0.439);\r\n"
           "const vec3 rgb_v = vec3(0.439, -0.368, -0.071);\r\n"
           "const vec3 yuv_r = vec3(1.1641, -0.0018, 1.5958);\r\n"
           "const vec3 yuv_g = vec3(1.1641, -0.3914, -0.8135);\r\n"
           "const vec3 yuv_b = vec3(1.1641,  2.0178, -0.0012);\r\n"
           "kernel vec4 QCIBorrowChromaFilterKernel(sampler inputImage, sampler inputMaskImage, float inputAmountNormal)\r\n"
           "{\r\n"
           "float tintAmount = clamp(inputAmountNormal,0.0,1.0);\r\n"
           "vec4 pixel = unpremultiply(sample(inputImage, samplerCoord(inputImage)));\r\n"
           "vec4 tintPixel = unpremultiply(sample(inputMaskImage, samplerCoord(inputMaskImage)));\r\n"
           "vec3 pel = pixel.rgb;\r\n"
           "vec3 tel = tintPixel.xyz;\r\n"
           "vec3 tint_yuv = vec3(dot(tel,rgb_y),dot(tel,rgb_u),dot(tel,rgb_v));\r\n"
           "vec3 pixel_yuv = vec3(dot(pel,rgb_y),dot(pel,rgb_u),dot(pel,rgb_v));\r\n"
           "\tpixel_yuv.y = tint_yuv.y;\r\n"
           "\tpixel_yuv.z = tint_yuv.z;\r\n"
           "\tpel.r = dot(pixel_yuv,yuv_r);\r\n"
           "\tpel.g = dot(pixel_yuv,yuv_g);\r\n"
           "\tpel.b = dot(pixel_yuv,yuv_b);\r\n"
           "float tint_alpha = tintPixel.a;\r\n"
           "float pixel_alpha = pixel.a;\r\n"
           "vec4 tintedPixel = vec4(pel.r,pel.g,pel.b,1.0);\r\n"
           "\treturn mix(pixel,tintedPixel,pixel_alpha*tintAmount*tint_alpha);\r\n"
           "}\r\n";
}

const char *QCIInvertGreyAlphaMask_dynamicFilterSourceCode() {
    return "kernel vec4 QCIInvertGreyAlphaMaskKernel(sampler inputImage, sampler inputMaskImage, float inputAmount)\r\n"
           "{\r\n"
           "vec4 pixel = unpremultiply(sample(inputImage, samplerCoord(inputImage)));\r\n"
           "vec4 maskPixel = sample(inputMaskImage, samplerCoord(inputMaskImage));\r\n"
           "float averageMask = 0.33333*(maskPixel.r+maskPixel.g+maskPixel.b);\r\n"
           "float inverted = 1.0-clamp(averageMask,0.0,1.0);\r\n"
           "\treturn pixel*inverted;\r\n"
           "}\r\n";
}

const char *QCIMakeGreyAlphaMask_dynamicFilterSourceCode() {
    return "kernel vec4 QCIMakeGreyAlphaMaskKernel(sampler inputImage, sampler inputMaskImage, float inputAmount)\r\n"
           "{\r\n"
           "vec4 pixel = unpremultiply(sample(inputImage, samplerCoord(inputImage)));\r\n"
           "vec4 maskPixel = sample(inputMaskImage, samplerCoord(inputMaskImage));\r\n"
           "float avgMask = 0.33333*(maskPixel.r+maskPixel.g+maskPixel.b);\r\n"
           "\tpixel *= avgMask;\r\n"
           "\treturn pixel;\r\n"
           "}\r\n";
}

bool import_QCIDynamicFilterSources() { return true; }
