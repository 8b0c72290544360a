// Sanitizer defaults for the test programs that show Qt windows.
//
// When a window is shown on X, Qt's accessibility bridge connects to the session bus, which
// starts Qt's D-Bus connection thread. Depending on how far that thread got when the program
// ends, LeakSanitizer reports the thread object as leaked (about one run in twenty). That leak
// is Qt's, not ours, and is suppressed by name. Qt is built without frame pointers, so the name
// is on the allocation's stack only with full unwinding.

extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

extern "C" const char* __lsan_default_suppressions() { return "leak:QDaemonThread::QDaemonThread\n"; }
