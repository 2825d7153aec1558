// ThreadSanitizer builds only. The HTTP library comes from Debian as a compiled shared library
// without TSan instrumentation, so TSan cannot see the synchronisation inside it and reports
// its memcpy/memcmp calls between connection workers as races (seen with TLS connections under
// load). Our own code stays fully checked: only interceptor calls made from that library are
// exempt.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libcpp-httplib.so\n"; }
