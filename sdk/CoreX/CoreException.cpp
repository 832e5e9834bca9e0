#include <CoreX/CoreException.h>

#include <cstdarg>
#include <cstdio>

CoreException::CoreException(const char *format, ...) {
    mMessage[0] = '\0';
    if (format == nullptr) return;
    va_list arguments;
    va_start(arguments, format);
    // vsnprintf cuts the text to fit and always terminates it.
    if (std::vsnprintf(mMessage, sizeof(mMessage), format, arguments) < 0) mMessage[0] = '\0';
    va_end(arguments);
}

bool import_CoreException() { return true; }
