// Heap holders: a block of zeroed bytes owned through a holder pointer.
//
// A holder is a pointer variable that is nullptr while it holds nothing.
// mp_calloc refuses to allocate into a holder that already holds a block, and
// mp_free empties the holder, so a holder always tells whether it owns memory
// and a block can be neither leaked by a second allocation nor freed twice.
#pragma once

#include <cstdint>

// Program-wide system error id: 0 none, else the id of the last system
// failure for the start-up code to show; 12 = out of memory (tx_syserr_nomem).
extern uint8_t sys_syserr;
constexpr uint8_t syserr_nomem = 12;

// Allocates `size` zero bytes into *holder. 0 done; 1 holder missing; 2 the
// holder already holds a block (nothing allocated); 3 size 0; 4 out of memory
// (sys_syserr = 12).
char mp_calloc(void **holder, uint32_t size);
// Frees the block of the holder and empties it; nothing for a missing or
// empty holder.
void mp_free(void **holder);
