// The Carbon layer: File and Folder Manager, event-loop timers, Gestalt and their status
// codes.
#pragma once

#include <Carbon/CarbonEvents.h>
#include <Carbon/Files.h>
#include <Carbon/Folders.h>
#include <Carbon/Gestalt.h>
#include <Carbon/MacErrors.h>
