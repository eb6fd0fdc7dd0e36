// Heap holders: the few blocks of heap memory the program owns, each through a
// holder pointer that is empty (nullptr) when it owns nothing.
#include "velquor/util/pointer.h"

#include <cstdlib>

uint8_t sys_syserr = 0;

char mp_calloc(void **holder, uint32_t size) {
    if (!holder) return 1;
    if (*holder) return 2;
    if (size == 0) return 3;
    void *p = std::calloc(size, 1);
    if (!p) {
        sys_syserr = syserr_nomem;
        return 4;
    }
    *holder = p;
    return 0;
}

void mp_free(void **holder) {
    if (!holder || !*holder) return;
    std::free(*holder);
    *holder = nullptr;
}
