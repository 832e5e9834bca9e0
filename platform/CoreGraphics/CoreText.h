// Text: fonts, attributed strings and lines (pango-cairo with fontconfig).
#pragma once

#include <CoreGraphics/CFAttributedString.h>
#include <CoreGraphics/CTFont.h>
#include <CoreGraphics/CTLine.h>
#include <CoreGraphics/CTStringAttributes.h>
