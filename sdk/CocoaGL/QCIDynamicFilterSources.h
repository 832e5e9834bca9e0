// The kernel texts of the three mask filters of the tint, mask and stencil stage, in the
// Core Image kernel language (every line ends with CR LF). They are compiled once at
// start-up by the Core Image layer and kept for the life of the process.
//
//   QCIBorrowChromaFilter    keeps the image's luma and takes the mask's chroma, mixed by
//                            image alpha x amount (clamped to 0..1) x mask alpha
//   QCIInvertGreyAlphaMask   the unpremultiplied image scaled by 1 - the mask's grey level
//   QCIMakeGreyAlphaMask     the unpremultiplied image scaled by the mask's grey level
//
// Each kernel takes (sampler inputImage, sampler inputMaskImage, float amount); the two grey
// masks ignore the amount.
#pragma once

const char *QCIBorrowChromaFilter_dynamicFilterSourceCode();
const char *QCIInvertGreyAlphaMask_dynamicFilterSourceCode();
const char *QCIMakeGreyAlphaMask_dynamicFilterSourceCode();

bool import_QCIDynamicFilterSources();
