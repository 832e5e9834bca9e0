// The Core Image layer.
#pragma once

#include <CoreImage/CIColor.h>
#include <CoreImage/CIContext.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIImage.h>
#include <CoreImage/CIKernel.h>
#include <CoreImage/CIPlugIn.h>
#include <CoreImage/CISampler.h>
#include <CoreImage/CIVector.h>
