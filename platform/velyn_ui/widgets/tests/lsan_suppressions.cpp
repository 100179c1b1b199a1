// Caches that fontconfig and libdbus (GTK's accessibility bridge) keep for
// the life of the process are not leaks of ours; LeakSanitizer reads this hook.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
