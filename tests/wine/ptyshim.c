/* Loaded into Wine programs by wine-run (LD_PRELOAD). A pty has no parity: Linux keeps
 * PARODD but drops PARENB, and refuses a later PARENB | PARODD on that state with EINVAL,
 * where a serial line takes it. Such a request is retried without parity, which is all a
 * pty can do anyway. */
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
