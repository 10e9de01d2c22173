#pragma once

// The POSIX calls on the environment and temporary folders that the tests use, for the Windows
// build of the tests (the C runtime of Windows has _putenv_s, _mktemp_s and _mkdir). Included
// before every test source.

#include <direct.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus

inline int setenv(const char* name, const char* value, int overwrite) {
  if (overwrite == 0 && getenv(name) != NULL) return 0;
  return _putenv_s(name, value);
}

// An empty value removes the variable.
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
// Makes a new folder from `pattern`, whose last six characters are XXXXXX.
inline char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, strlen(pattern) + 1) != 0 || _mkdir(pattern) != 0) return NULL;
  return pattern;
}
#endif
