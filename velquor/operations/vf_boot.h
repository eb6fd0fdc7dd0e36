// The bootstrap: loading firmware into a board that cannot take the ordinary
// update (an empty board, say) through its processor's bootstrap mode, over
// the serial link at 57 600 baud 8N1.
//
// Three stages: a byte 0x00 that the processor answers with 0xD5; the 32-byte
// primary loader, which carries the first and last address of the secondary
// loader; the secondary loader byte by byte, each echoed, and 0xCC once it
// runs; then every record of the firmware file as it stands (never merged),
// each acknowledged by a byte of 0xFC or above. The chain: a 100 ms pause,
// boot_firm1 (file, link), boot_start, boot_start_wait (0xD5, or "Reset
// CPU!" for any other byte), boot_send_prim (both loaders), then
// boot_send_firm / boot_ack_firm for every record. The file is the firmware
// update's (firmpath, vf_firm.h).
#pragma once

#include <cstdint>

// The board variant, a vq_boot_type (configuration key ik_sys_boot); any
// value other than boot_zelb3 selects the AM29LV150 loader.
extern int32_t sys_boot;

// The primary loader with its two address fields, and the index of its last
// byte; the secondary loader of the variant and the index of its last byte.
extern uint8_t BootPrim[32];
extern uint32_t BootPrimLength;
extern uint8_t BootSecondary[2048];
extern uint32_t BootSecondaryLength;
constexpr uint32_t boot_sec_load = 0xE110;  // load address of the secondary loader
constexpr uint8_t boot_id = 0xD5, boot_sec_ready = 0xCC, boot_ack_min = 0xFC;

// Fill BootSecondary with a variant's loader and set its length.
void InitBootSecondary_ZELB3(void);
void InitBootSecondary_AM29LV150(void);
// The primary loader's address fields for the secondary loader in hand:
// 0xE110 at offset 6, 0xE110 + BootSecondaryLength at offset 24 (little endian).
void boot_set_prim_fields(void);

// Starts the bootstrap. Returns 0.
char boot_firm(int hwnd);

// Steps.
// File, guard of the built-in loaders, link in boot mode. 1, or 0.
char boot_firm1(void);
// Writes 0x00. 1, or 0.
char boot_start(void);
// Reads the identification byte: 1 for 0xD5, 2 another byte, 0 none.
char boot_start_wait(void);
// "Reset CPU!". 1 (the run stops).
char boot_end_reset(void);
// Both loaders, then the progress of the records. 1, or 0.
char boot_send_prim(void);
// Sends record fs_cnt: 1; 2 when all are sent; 0 a write error.
char boot_send_firm(void);
// Reads the record's acknowledgement: 1 for 0xFC..0xFF, 0 else.
char boot_ack_firm(void);
// Reads one byte: 1 when it is `expected`, else 0 (sys_rv 8 or 14).
char boot_ack_sec(uint8_t expected);
