// The Carbon layer: File, Folder, Alias, Resource and Memory Managers, the Text Encoding
// and Unicode Converters, the Script Manager, event-loop timers, Gestalt and their status
// codes.
#pragma once

#include <Carbon/Aliases.h>
#include <Carbon/CarbonEvents.h>
#include <Carbon/Files.h>
#include <Carbon/Folders.h>
#include <Carbon/Gestalt.h>
#include <Carbon/MacErrors.h>
#include <Carbon/MacMemory.h>
#include <Carbon/Resources.h>
#include <Carbon/Script.h>
#include <Carbon/TextCommon.h>
#include <Carbon/TextEncodingConverter.h>
#include <Carbon/UnicodeConverter.h>
