// The test main of suites that need a display: widgets and OpenGL contexts want a QApplication.
#include <QApplication>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#define GM_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GM_LEAK_CHECK 1
#endif
#endif
#ifdef GM_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (done by the build) must work without a display.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef GM_LEAK_CHECK
    // Check for leaks while the OpenGL driver is still loaded: unloading it at exit orphans a few
    // of its own blocks, which would otherwise be reported against no module at all.
    __lsan_do_leak_check();
#endif
    return result;
}
