// The Security layer: code-signing information.
#pragma once

#include <Security/SecBase.h>
#include <Security/SecCode.h>
