// Bootstrap names: a service is a SOCK_SEQPACKET socket file named after it in the user's
// runtime folder ($XDG_RUNTIME_DIR when it is a folder of this user's that nobody else may
// enter, else a 0700 folder "lumora-<uid>" made in $TMPDIR or /tmp).
//
// A name belongs to one live process: the owner holds an exclusive lock on "<name>.lock"
// beside the socket for as long as the service port lives. A check-in whose lock is held
// elsewhere is refused (BOOTSTRAP_NAME_IN_USE); a socket left by a process that died is
// reclaimed. A look-up connects to the socket, and both sides check that the other is a
// process of the same user; every look-up is a new send right to the service port.
#pragma once

#include <Mach/port.h>

#ifdef __cplusplus
extern "C" {
#endif

#define BOOTSTRAP_SUCCESS 0
#define BOOTSTRAP_NOT_PRIVILEGED 1100
#define BOOTSTRAP_NAME_IN_USE 1101
#define BOOTSTRAP_UNKNOWN_SERVICE 1102
#define BOOTSTRAP_BAD_NAME 1104

// Names: 1 to 64 characters of letters, digits, '.', '-' and '_', not starting with '.'.
typedef char name_t[128];

// The bootstrap port of this process (a constant; the calls below take it for form).
extern mach_port_t bootstrap_port;

// A new receive right published under the name. BOOTSTRAP_NAME_IN_USE when a live process
// owns the name, BOOTSTRAP_BAD_NAME for a name that is not allowed (or too long for a
// socket address), BOOTSTRAP_NOT_PRIVILEGED when there is no private runtime folder.
kern_return_t bootstrap_check_in(mach_port_t bp, const char *service_name, mach_port_t *sp);
// A send right to the service, or BOOTSTRAP_UNKNOWN_SERVICE.
kern_return_t bootstrap_look_up(mach_port_t bp, const char *service_name, mach_port_t *sp);

// The folder the names live in; empty when there is none.
const char *bootstrap_runtime_folder(void);

#ifdef __cplusplus
}
#endif
