// The window tests' sanitizer suppressions, once for the whole program. Flags that
// ASAN_OPTIONS does not set keep these values.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }
