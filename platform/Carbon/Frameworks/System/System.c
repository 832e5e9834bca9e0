/* The executable of System.framework stands for the C library: it exports nothing of its
 * own, and is linked so that the C library is one of its direct dependencies. A symbol
 * looked up in its handle (dlsym, CFBundleGetFunctionPointerForName) is found among those
 * dependencies: getcwd, mprotect, chdir... are the C library's own functions. */
#include <unistd.h>

/* Keeps a reference to the C library in the object, whatever the linker's defaults. */
__attribute__((used)) static char *(*const sGetcwd)(char *, size_t) = getcwd;
