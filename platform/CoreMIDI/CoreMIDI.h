// Core MIDI: the whole layer.
#pragma once

#include <CoreMIDI/MIDIServices.h>
