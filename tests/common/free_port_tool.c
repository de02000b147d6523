/* Prints freeTestPort(): the one free-port helper, for the test scripts. */
#include "free_port.h"

#include <stdio.h>

int main(void)
{
    const int port = freeTestPort();
    if (port == 0)
        return 1;
    printf("%d\n", port);
    return 0;
}
