// The Core Image layer.
#pragma once

#include <CoreImage/CIColor.h>
#include <CoreImage/CIImage.h>
#include <CoreImage/CISampler.h>
