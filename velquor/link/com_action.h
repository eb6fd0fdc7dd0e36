// Device link: command frames, their acknowledgement, the communication error
// ids with their texts, and the result globals that every operation step shares.
//
// Every command to a board travels in one 10-byte frame (start code, monitor
// number, command word, value word, checksum, end code; 16-bit fields low byte
// first) and the board answers with a frame of the same size ending in FE 00.
// A transaction is one write and at most one read, without retry: repetition
// is left to the chains of the sequencer. Failures are communication error ids
// (0 = success), never shown here; the end step of an operation shows the text
// of mc_get_err_msg.
//
// The frames go through a narrow transport seam (mc_frame_write, mc_frame_read)
// that defaults to the link's byte transport and that tests may point at a
// scripted peer.
//
// Sections: result globals; error ids and texts; frame; transport seam;
// transactions and steps.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- result globals

// Communication error id of the last operation step (0 = none).
extern uint8_t sys_rv;
// File error id of the last operation step (0 = none).
extern uint8_t sys_f_rv;
// Command and value word of the step in hand; after an acknowledged answer
// sys_val holds the answer value.
extern uint32_t sys_cmd;
extern uint32_t sys_val;
// A message shown after a successfully acknowledged command; empty = none.
extern char sys_msg[101];

// ---------------------------------------------------------------- error ids and texts

// Communication error ids. 1-6 come from opening a port, 23, 25 and 27 from the
// Ethernet transport, 20 and 21 from the I2C bus, 26 from the IP list; 7-19 and
// 22 are the frame and transport errors.
enum mc_err_id : uint8_t {
    mc_e_ok = 0,     // "OK"
    mc_e_port_used,  // port is already used
    mc_e_miss_path,  // invalid or missing path
    mc_e_n_op_comp,  // can not open port
    mc_e_n_r_compe,  // can't read out port configuration
    mc_e_n_w_compe,  // can't write back port configuration
    mc_e_n_comp,     // port not specified
    mc_e_w_dat,      // error while writing data
    mc_e_to,         // Timeout: no answer byte
    mc_e_conf_to,    // error while configurating timeout values
    mc_e_no_buff,    // buffer not specified
    mc_e_r_dat,      // error while reading data: a partial answer
    mc_e_n_dat,      // too few data at the interface
    mc_e_inv_dat,    // invalid data frame
    mc_e_n_ack,      // no ACK at interface: wrong end code
    mc_e_r_to,       // can't read out timeout configuration
    mc_e_inv_to,     // invalid value for timeout
    mc_e_inv_cks,    // invalid checksum
    mc_e_end_buff,   // end of buffer
    mc_e_inv_data,   // invalid data at interface
    mc_e_ddc_wp,     // ddc writeprotection
    mc_e_flush,      // no i2c-converter detected
    mc_e_loop,       // Loop: the line echoed the frame
    mc_e_ip,         // invalid IP
    mc_e_err,        // unknown error while operating with interface
    mc_e_nosock,     // Can't create socket
    mc_e_ipl_em,     // IP-List is empty
    mc_e_no_eth,     // No Ethernet Function
    mc_e_count       // number of ids (28)
};

// Text id (row of texte) of each communication error id.
extern const int msg_err_id[mc_e_count];

// The text of a communication error id in the current language. An id outside
// 0..27 gives the text "unknown error" (tx_err_un). Never nullptr.
const char *mc_get_err_msg(int err_id);

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

// The transport of the frame layer: mc_write_syscom and mc_read_syscom unless a
// test replaced them. Change them only while no operation runs. A null pointer
// reads as a failed write (7) or a silent line (8).
extern mc_frame_write_t mc_frame_write;
extern mc_frame_read_t mc_frame_read;
// Points the seam back at the link.
void mc_frame_transport_reset(void);

// ---------------------------------------------------------------- transactions and steps

// One transaction: sends the low 16 bits of *cmd and *val to monitor zelb_nr;
// with waitme reads the 10-byte answer and judges it, in this order: count
// (0 bytes 8, 1-9 bytes 11), echo of the frame (22), end code (14), checksum
// (17). On success with waitme, *cmd and *val receive the answer's command and
// value words. Without waitme nothing is read (the next step reads the answer).
// 10 when cmd or val is missing; a failed write returns its id and skips the read.
char send_single_send_zelb(uint8_t zelb_nr, uint32_t *cmd, uint32_t *val, uint8_t waitme);
// Sends one frame without reading (note: value before command). sys_rv = the
// write's id; 1 on success, 0 on failure.
char send_zelb(uint8_t zelb_nr, uint32_t val, uint32_t cmd);
// Step: reads one answer frame and judges it: count (0 bytes 8, 1-9 bytes 11),
// checksum (17), end code (14); no echo test. sys_rv = the id, sys_val = the
// answer value (also after a failure). Verdict 1 when sys_rv is 0, else 0.
char zelb_wait_ack(void);
// Step: zelb_wait_ack; after verdict 1 a pending sys_msg is shown in an alert
// box with the application name as caption and then emptied.
char zelb_wait_ack_dlg(void);
// Step: sends command 0x208C with value 0 to sys_zelb_nr without reading.
// Verdict 1 when the write succeeded.
char zelb_send_key(void);
// Clears sys_rv and sys_f_rv and the error state of the status dialog.
void reset_err(void);
