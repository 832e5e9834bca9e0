// The Foundation layer: the object model of the interface code on Qt.
#pragma once

#include <Foundation/NSApplication.h>
#include <Foundation/NSAttributedString.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSObject.h>
#include <Foundation/NSPropertyList.h>
#include <Foundation/NSUserDefaults.h>
#include <Foundation/NSValueTransformer.h>
