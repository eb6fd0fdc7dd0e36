// Device link: command frames, their acknowledgement, the communication error
// ids with their texts, and the result globals that every operation step shares.
//
// Every command to a board travels in one 10-byte frame (start code, monitor
// number, command word, value word, checksum, end code; 16-bit fields low byte
// first) and the board answers with a frame of the same size ending in FE 00
// that carries the command word it answers. A transaction discards what is
// still waiting in the input, writes one frame and reads its answer, without
// retry: repetition is left to the chains of the sequencer. An answer that
// came after its command's time-out is not taken for the answer to a later
// command: what waits before the write is discarded, and an answer that
// arrives with another command word is passed over. Failures are
// communication error ids (mc_err_id, 0 = success), never shown here; the end
// step of an operation shows their text (mc_get_err_msg).
//
// The frames go through a narrow transport seam (mc_frame_discard,
// mc_frame_write, mc_frame_read) that defaults to the link's byte transport and
// that tests may point at a scripted peer.
//
// Sections: result globals; frame; transport seam; transactions and steps.
#pragma once

#include <cstdint>

#include "velquor/ui/err_texts.h"  // mc_err_id, mc_get_err_msg
#include "velquor/util/files.h"    // sys_f_rv

// ---------------------------------------------------------------- result globals

// Communication error id of the last operation step (0 = none). Its file
// error id is sys_f_rv of the file layer.
extern uint8_t sys_rv;
// Command and value word of the step in hand; after an acknowledged answer
// sys_val holds the answer value.
extern uint32_t sys_cmd;
extern uint32_t sys_val;
// A message shown after a successfully acknowledged command; empty = none.
extern char sys_msg[101];

// ---------------------------------------------------------------- frame

constexpr uint32_t zelb_frame_len = 10;
constexpr uint16_t startc = 0x55AA;     // start code, sent AA 55
constexpr uint16_t stopc_pc = 0x00FF;   // end code of a command, sent FF 00
constexpr uint16_t stopc_ack = 0x00FE;  // end code of an answer, sent FE 00

// The frame being sent and the answer of the transaction in hand (one pair for
// the program; one transaction at a time uses the link).
extern uint8_t mybuffer[zelb_frame_len];
extern uint8_t mybuffer2[zelb_frame_len];

// Fills a 10-byte frame: start code, monitor number, command, value (low 16
// bits of each, low byte first), checksum over bytes 2 to 6, end code. Nothing
// for a null buffer.
void create_zelb_buffer(uint8_t *buffer, uint8_t zelb_nr, uint16_t startc, uint16_t stopc,
                        uint32_t val, uint32_t cmd);
// Checksum of a 10-byte frame: the sum of bytes 2 to 6 modulo 256; 0 for null.
uint8_t get_cks_ZELB_10(const uint8_t *buffer);

// ---------------------------------------------------------------- transport seam

// Writes n bytes; 0 when all were written, else an error id.
typedef char (*mc_frame_write_t)(const uint8_t *buff, uint32_t nbuff);
// Reads up to n bytes within the link's time-out; *nread = bytes stored. The
// frame layer judges the outcome by the count alone.
typedef char (*mc_frame_read_t)(uint8_t *buff, uint32_t nbuff, uint32_t *nread);
// Drops what is waiting in the input without waiting; 0 or an error id, which
// the frame layer does not judge: the write and the read after it find a broken
// link themselves.
typedef char (*mc_frame_discard_t)(void);

// The transport of the frame layer: mc_discard_syscom, mc_write_syscom and
// mc_read_syscom unless a test replaced them. Change them only while no
// operation runs. A null pointer reads as nothing to discard, a failed write (7)
// or a silent line (8).
extern mc_frame_discard_t mc_frame_discard;
extern mc_frame_write_t mc_frame_write;
extern mc_frame_read_t mc_frame_read;
// Points the seam back at the link.
void mc_frame_transport_reset(void);

// ---------------------------------------------------------------- transactions and steps

// Answers to earlier commands that a read passes over before it gives up with
// 13 (mc_e_inv_dat).
constexpr uint32_t zelb_stale_max = 8;

// One transaction: discards what is waiting in the input, then sends the low 16
// bits of *cmd and *val to monitor zelb_nr; with waitme reads the 10-byte answer
// and judges it, in this order: count (0 bytes 8, 1-9 bytes 11), echo of the
// frame (22), end code (14), checksum (17). An answer that passes them with
// another command word answers an earlier command: it is passed over and the
// next answer read, at most zelb_stale_max times; when none to this command
// comes (a silent line after it, or one more such answer) the result is 13.
// On success with waitme, *cmd and *val receive the answer's command and value
// words. Without waitme nothing is read (the next step reads the answer).
// 10 when cmd or val is missing; a failed write returns its id and skips the read.
char send_single_send_zelb(uint8_t zelb_nr, uint32_t *cmd, uint32_t *val, uint8_t waitme);
// Sends one frame without reading (note: value before command). sys_rv = the
// write's id; 1 on success, 0 on failure.
char send_zelb(uint8_t zelb_nr, uint32_t val, uint32_t cmd);
// Step: reads the answer to the frame sent last (mybuffer) and judges it:
// count (0 bytes 8, 1-9 bytes 11), checksum (17), end code (14); no echo test.
// Answers with another command word are passed over as in the transaction,
// with 13 when none to this command comes. sys_rv = the id, sys_val = the value
// word of the last bytes read (also after a failure; 0 when none came).
// Verdict 1 when sys_rv is 0, else 0.
char zelb_wait_ack(void);
// Step: zelb_wait_ack; after verdict 1 a pending sys_msg is shown in an alert
// box with the application name as caption and then emptied.
char zelb_wait_ack_dlg(void);
// Clears sys_rv and sys_f_rv and the error state of the status dialog.
void reset_err(void);
