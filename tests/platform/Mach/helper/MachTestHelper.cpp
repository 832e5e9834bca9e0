// The other process of the bootstrap-name tests. Modes:
//   hold <name>   checks the name in, prints the result code and holds the service until
//                 its standard input ends
#include <Mach/bootstrap.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
        mach_port_t port = MACH_PORT_NULL;
        const kern_return_t result = bootstrap_check_in(bootstrap_port, argv[2], &port);
        std::printf("%d\n", result);
        std::fflush(stdout);
        char byte;
        while (::read(0, &byte, 1) > 0) {
        }
        return 0;
    }
    return 2;
}
