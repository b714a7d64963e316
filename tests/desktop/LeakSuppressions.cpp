// Qt keeps the fontconfig patterns of its font fallback lists (looked up for characters such as
// emoji that the chosen font lacks) until the process ends; the leak checker of sanitizer builds
// is told so.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
