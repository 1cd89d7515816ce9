// Compiled into test programs that load fonts (directly, or through Qt): fontconfig keeps its
// default configuration for the life of the process, and LeakSanitizer reports the blocks it
// holds from inside libfontconfig at exit. Only leaks whose allocation lies in that library are
// ignored; our own code stays checked.

extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
