#include <ddhost/StandardDescriptors.h>

#if !defined(_WIN32)
#  include <cerrno>
#  include <fcntl.h>
#  include <unistd.h>
#endif

namespace ddhost {

namespace {

bool closedAtStart[3] = {false, false, false};
bool taken = false;

}  // namespace

void takeStandardDescriptors() {
  if (taken) {
    return;
  }
  taken = true;
#if !defined(_WIN32)
  // In order: open() takes the lowest free number, which is then the one
  // being filled.
  for (int number = 0; number < 3; ++number) {
    if (fcntl(number, F_GETFD) >= 0 || errno != EBADF) {
      continue;
    }
    closedAtStart[number] = true;
    const int opened = ::open("/dev/null", number == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != number) {
      // Should the lowest number not be this one, put it there.
      dup2(opened, number);
      ::close(opened);
    }
  }
#endif
}

bool standardDescriptorWasClosed(int number) {
  return number >= 0 && number < 3 && closedAtStart[number];
}

}  // namespace ddhost
