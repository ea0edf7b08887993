// Built into the window tests only under ThreadSanitizer. Qt comes from the
// distribution, built without the sanitizer: its thread pool (image
// conversion and scaling while windows paint) hands work over through
// futexes the sanitizer cannot see, so each hand-over reads as a race on
// memory Qt allocates or copies itself. Those calls made from inside Qt are
// left out; every access from our own code is still checked, also when Qt
// calls back into it.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n";
}
