/* A component for the loader tests: one exported dispatch function that answers every
   selector with badComponentSelector. */
__attribute__((visibility("default"))) int TestDigitizer_ComponentDispatch(void *params, void *storage) {
    (void)params;
    (void)storage;
    return (int)0x80008002;
}
