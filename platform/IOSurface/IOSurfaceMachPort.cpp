// Surfaces as Mach ports: a memory-entry send right on a descriptor of the surface.
#include <IOSurface/IOSurfaceRef.h>

#include <unistd.h>

mach_port_t IOSurfaceCreateMachPort(IOSurfaceRef buffer) {
    const int fd = IOSurfaceCreateFileDescriptor(buffer);
    if (fd < 0) return MACH_PORT_NULL;
    mach_port_t port = MACH_PORT_NULL;
    const kern_return_t result = mach_memory_entry_make_fd(fd, &port);
    ::close(fd);
    return result == KERN_SUCCESS ? port : MACH_PORT_NULL;
}

IOSurfaceRef IOSurfaceLookupFromMachPort(mach_port_t port) {
    const int fd = mach_memory_entry_copy_fd(port);
    if (fd < 0) return nullptr;
    IOSurfaceRef surface = IOSurfaceLookupFromFileDescriptor(fd);
    ::close(fd);
    return surface;
}
