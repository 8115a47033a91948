// A library in the version library's place that lacks its function.
extern "C" __attribute__((visibility("default"))) int SomethingElse() {
    return 0;
}
