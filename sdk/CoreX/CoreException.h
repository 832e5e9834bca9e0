// CoreException: the foundation library's exception, a printf-style message.
//
// Thrown by value. Each exception keeps its own copy of its text, cut at 2047 characters,
// so an exception made later never changes the text of an earlier one and threads never
// share a buffer.
#pragma once

#include <cstddef>

class CoreException {
public:
    enum : std::size_t { kMessageCapacity = 2048 };

    explicit CoreException(const char *format, ...) __attribute__((format(printf, 2, 3)));

    // The formatted message; never null.
    const char *what() const noexcept { return mMessage; }

private:
    char mMessage[kMessageCapacity];
};

bool import_CoreException();
