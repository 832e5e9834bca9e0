// Port names and the calls that manage the rights of this process's port name space.
#pragma once

#include <stdint.h>

#include <Mach/kern_return.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t mach_port_name_t;
typedef mach_port_name_t mach_port_t;
typedef mach_port_t ipc_space_t;
typedef mach_port_t task_t;
typedef uint32_t mach_port_right_t;
typedef uint32_t mach_port_type_t;
typedef int32_t mach_port_delta_t;

#define MACH_PORT_NULL 0u
#define MACH_PORT_DEAD 0xffffffffu
#define MACH_PORT_VALID(name) ((name) != MACH_PORT_NULL && (name) != MACH_PORT_DEAD)

#define MACH_PORT_RIGHT_SEND 0u
#define MACH_PORT_RIGHT_RECEIVE 1u
#define MACH_PORT_RIGHT_SEND_ONCE 2u
#define MACH_PORT_RIGHT_DEAD_NAME 4u

#define MACH_PORT_TYPE_NONE 0u
#define MACH_PORT_TYPE_SEND (1u << 16)
#define MACH_PORT_TYPE_RECEIVE (1u << 17)
#define MACH_PORT_TYPE_SEND_ONCE (1u << 18)
#define MACH_PORT_TYPE_DEAD_NAME (1u << 20)

// This process's name space (the only one there is).
mach_port_t mach_task_self(void);

// A new receive right (MACH_PORT_RIGHT_RECEIVE only).
kern_return_t mach_port_allocate(ipc_space_t task, mach_port_right_t right, mach_port_name_t *name);
// MACH_MSG_TYPE_MAKE_SEND on a receive right's own name (name == poly): one more send
// reference under the same name.
kern_return_t mach_port_insert_right(ipc_space_t task, mach_port_name_t name, mach_port_t poly,
                                     uint32_t poly_poly);
// Drops one reference of a send, send-once or dead-name right.
kern_return_t mach_port_deallocate(ipc_space_t task, mach_port_name_t name);
// Changes the references of one kind of right; a receive right goes with delta -1.
kern_return_t mach_port_mod_refs(ipc_space_t task, mach_port_name_t name, mach_port_right_t right,
                                 mach_port_delta_t delta);
// Removes the name and every right under it.
kern_return_t mach_port_destroy(ipc_space_t task, mach_port_name_t name);
// The MACH_PORT_TYPE_* bits of the rights under the name.
kern_return_t mach_port_type(ipc_space_t task, mach_port_name_t name, mach_port_type_t *type);

// --- Linux extensions --------------------------------------------------------------------

// Dead-name notices. When the receiver of the send right `name` goes away (its process
// ended or destroyed the receive right), the name becomes a dead name and `callback` runs
// once, on a thread of this layer, with the name and `context`. Only one request per name;
// a new one replaces it, a null callback cancels it. A name already dead calls back at once
// (on the calling thread). KERN_INVALID_RIGHT when the name holds no send right.
typedef void (*mach_port_dead_name_callback_t)(mach_port_name_t name, void *context);
kern_return_t mach_port_request_dead_name_callback(mach_port_name_t name, mach_port_dead_name_callback_t callback,
                                                   void *context);

// Memory entries: a send right that stands for a file descriptor of shared memory (a
// regular file such as a POSIX shared-memory object or a memfd). It travels in port
// descriptors like any send right. make takes a duplicate of fd (the caller keeps its own);
// copy answers a new descriptor (close-on-exec) that the caller closes, -1 when the name is
// not a memory entry.
kern_return_t mach_memory_entry_make_fd(int fd, mach_port_name_t *name);
int mach_memory_entry_copy_fd(mach_port_name_t name);

#ifdef __cplusplus
}
#endif
