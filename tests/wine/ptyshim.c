/* Loaded into Wine programs by the test rig (LD_PRELOAD). A pseudo-terminal has
 * no parity: Linux keeps PARODD but drops PARENB from its settings, and a later
 * request for PARENB | PARODD on that state is refused with EINVAL. A real serial
 * line accepts it, so a program that opens a port with odd parity a second time
 * works on hardware but fails on a pty under Wine. This retries such a request
 * without parity, which is all a pty can do anyway. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <termios.h>

int tcsetattr(int fd, int optional_actions, const struct termios* t) {
  static int (*real)(int, int, const struct termios*);
  if (!real) real = (int (*)(int, int, const struct termios*))dlsym(RTLD_NEXT, "tcsetattr");
  int r = real(fd, optional_actions, t);
  if (r == -1 && errno == EINVAL && (t->c_cflag & PARENB)) {
    struct termios plain = *t;
    plain.c_cflag &= ~(tcflag_t)(PARENB | PARODD);
    r = real(fd, optional_actions, &plain);
  }
  return r;
}
