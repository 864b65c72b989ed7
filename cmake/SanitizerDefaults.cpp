// Linked into every program and test of a sanitizer build, so that a run needs no
// options in its environment to be read right.

// Leaks that are not ours. libdbus keeps its connection buffer when a start ends the
// process early (the second-instance message ends it with exit()).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

// Where an undefined-behaviour finding came from, not only that it happened.
extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1";
}

// Qt's own: the QtTest watchdog thread waits on a QWaitCondition through Qt's futex
// mutex, which this sanitizer cannot see, so the condition's destruction at the end of
// the test (inlined into QTest::qRun, so not always named) looks like a race. Only calls
// made by QtTest itself are left out; our code that a test function runs is still seen.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "called_from_lib:libQt6Test.so\n";
}
