// Entry points of the dialog library that the main window looks up by name after loading it.

// Lets the loader check that it loaded the dialog library of the same build.
extern "C" __attribute__((visibility("default"))) const char* ZentrovaDLL_Version() {
    return ZENTROVA_VERSION;
}
