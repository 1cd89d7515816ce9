// A real shared library that exports none of the component entry points.

extern "C" __attribute__((visibility("default"))) int kxTestNotAComponent() {
    return 42;
}
