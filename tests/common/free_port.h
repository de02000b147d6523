/* A loopback TCP port for a test's private virtual bus, usable from C and C++.
 *
 * The port comes from below the kernel's ephemeral range (32768 and up on Linux): a port
 * from that range can be taken at any moment as the source port of some other test's
 * connection, and the virtual bus server then cannot listen on it (the bus "does not
 * answer"). Below the range only a listener can hold a port, and bind() tells us so. */
#ifndef CANKESTROVA_TESTS_FREE_PORT_H
#define CANKESTROVA_TESTS_FREE_PORT_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

static inline int freeTestPort(void)
{
    /* Every test and benchmark takes its port from here. 26000..27999 stay unused: fixed
       test ports lived there, and a branch from before this helper may still hold one. */
    enum { first = 28000, count = 4700 };
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned seed = (unsigned)getpid() * 2654435761u ^ (unsigned)now.tv_nsec;
    for (int attempt = 0; attempt < 200; ++attempt) {
        seed = seed * 1103515245u + 12345u;
        const int port = first + (int)((seed >> 8) % count);
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return 0;
        struct sockaddr_in address;
        memset(&address, 0, sizeof address);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons((unsigned short)port);
        const int one = 1;
        /* The same option the bus server uses, so a port in TIME_WAIT counts as free. */
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        const int ok = bind(fd, (struct sockaddr *)&address, sizeof address) == 0
                       && listen(fd, 1) == 0;
        close(fd);
        if (ok)
            return port;
    }
    return 0;
}

#endif
