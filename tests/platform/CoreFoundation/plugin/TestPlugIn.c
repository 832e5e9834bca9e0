/* The executable of the test bundle: one exported function to find by name. */
__attribute__((visibility("default"))) int LumoraTestPlugInAnswer(void) { return 42; }
