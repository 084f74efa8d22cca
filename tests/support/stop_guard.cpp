// The program ends itself with exit status 0 at its fatal stops and Quit items. Inside a test
// that would end the whole test program with success and hide every failure after it, so a
// stop during a test (outside a child the test started for it) fails the test program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/child.h"

namespace {

const char* running_test = nullptr;

class StopGuard : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& info) override { running_test = info.name(); }
  void OnTestEnd(const ::testing::TestInfo&) override { running_test = nullptr; }
};

const bool installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new StopGuard);
  std::atexit([] {
    if (running_test == nullptr || testsupport::in_child) return;
    std::fprintf(stderr, "\nThe program stopped during the test %s\n", running_test);
    std::fflush(stderr);
    ::_exit(1);
  });
  return true;
}();

}  // namespace
