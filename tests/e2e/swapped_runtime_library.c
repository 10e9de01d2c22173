/* A library that stands in for code an attacker puts in place of the runtime library once the
   loader has checked it. It exports nothing; loading it runs its constructor, which leaves an
   empty file where CORVIA_SWAPPED_LIBRARY_MARK says. */

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((constructor)) static void LeaveMark(void) {
  const char* mark = getenv("CORVIA_SWAPPED_LIBRARY_MARK");
  if (mark == NULL) return;
  const int file = open(mark, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (file >= 0) close(file);
}
