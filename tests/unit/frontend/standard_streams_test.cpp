// A program started with some of stdin, stdout and stderr closed: they are opened on
// /dev/null before anything else can take their numbers.

#include "frontend/standard_streams.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace frontend {
namespace {

struct ClosedStreams {
  const char* name;
  std::vector<int> closed;
};

void PrintTo(const ClosedStreams& c, std::ostream* out) {
  *out << c.name;
}

class StandardStreams : public testing::TestWithParam<ClosedStreams> {};

bool is_dev_null(int fd) {
  struct stat of_fd {
  }, of_null{};
  return ::fstat(fd, &of_fd) == 0 && ::stat("/dev/null", &of_null) == 0 && S_ISCHR(of_fd.st_mode) &&
         of_fd.st_rdev == of_null.st_rdev;
}

// In a child of its own, as the process's descriptors are the subject. The exit status says
// what went wrong: 0 all well, 1 the helper failed, 2 a closed stream is not /dev/null, 3 an
// open stream was replaced, 4 the next file did not get the next free number.
TEST_P(StandardStreams, ClosedOnesAreOpenedOnDevNullAndTheNextFileGetsItsOwnNumber) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A pipe on each stream first, so an open one can be told from /dev/null.
    for (int fd = 0; fd <= 2; ++fd) {
      int ends[2];
      if (::pipe(ends) != 0 || ::dup2(ends[fd == 0 ? 0 : 1], fd) < 0) ::_exit(10);
    }
    for (int fd = 3; fd < 64; ++fd) ::close(fd);
    for (int fd : GetParam().closed) ::close(fd);
    if (!fill_closed_standard_streams()) ::_exit(1);
    for (int fd = 0; fd <= 2; ++fd) {
      const bool was_closed = std::find(GetParam().closed.begin(), GetParam().closed.end(), fd) !=
                              GetParam().closed.end();
      if (was_closed && !is_dev_null(fd)) ::_exit(2);
      if (!was_closed && is_dev_null(fd)) ::_exit(3);
    }
    // The port the program opens next must not become one of them.
    const int next = ::open("/dev/null", O_RDONLY);
    ::_exit(next > 2 ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

INSTANTIATE_TEST_SUITE_P(Closed, StandardStreams,
                         testing::Values(ClosedStreams{"none", {}}, ClosedStreams{"stdout", {1}},
                                         ClosedStreams{"stdin", {0}}, ClosedStreams{"stderr", {2}},
                                         ClosedStreams{"stdout_and_stderr", {1, 2}},
                                         ClosedStreams{"all_three", {0, 1, 2}}),
                         [](const testing::TestParamInfo<ClosedStreams>& row) {
                           return row.param.name;
                         });

}  // namespace
}  // namespace frontend
