// Device link: the converter protocol of an IP link.
//
// A serial-to-IP converter in front of a monitor takes packets of (code, value)
// byte pairs: code 2 the mode with the parity bit, 3 the flow control, 5 and 4
// two values sent as 0, 1 the baud code, then every data byte behind a code 0.
// Its answers come back plain, one byte after the other. The setters only
// store into the link's parameters (ipcom_conf); every packet carries them.
#pragma once

#include <cstdint>

char aknord_set_baud(int s, int32_t baudrate);
char aknord_set_flow(int s, char flow);
char aknord_set_datamote(int s, char ndat, char stb, char par);
// Converter baud code of a rate: 1 115200, 2 57600, 3 38400, 4 19200, 5 any other.
uint8_t aknord_baud_code(int32_t baud);
// Builds the converter packet for `bufflen` data bytes (at most 507 are taken)
// into out (eth_buffer_size bytes); returns its length.
uint32_t aknord_build(const uint8_t *buffer, uint32_t bufflen, uint8_t *out);
// Sends the packet of the bytes: 10 without a buffer or bytes, else eth_send's id.
char aknord_send(int s, const uint8_t *buffer, uint32_t bufflen);
// Receives byte by byte until bufflen came or a receive failed; the count in
// *nread, the last receive's id (0 when all came).
char aknord_read(int s, uint8_t *buffer, uint32_t bufflen, uint32_t *nread);
// The standard-baud packet 01 05, sent before an IP link is closed.
char aknord_send_std_baud(int s);
