#pragma once
// Included once by the program's main and by the Qt test main; takes effect in
// thread-sanitizer builds only.
//
// Qt is not instrumented, and its own threads (the raster engine's fill pool, its glib event
// dispatchers) hand work over with futexes the thread sanitizer cannot see: the heap and memory
// calls they make through its interceptors are reported as races with the main thread. Calls
// from modules that are not instrumented are therefore not judged; every access and every lock
// of the program's own code still is.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
#endif
