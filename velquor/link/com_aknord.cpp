// The converter protocol: building the packet of a write, reading the plain
// answer byte by byte, and the standard-baud packet at the end of a link.
#include "velquor/link/com_aknord.h"

#include <cstring>

#include "velquor/link/com_link.h"

// ---------------------------------------------------------------- parameters

char aknord_set_baud(int /*s*/, int32_t baudrate) {
    ipcom_conf.baudrate = baudrate;
    return mc_e_ok;
}

char aknord_set_flow(int /*s*/, char flow) {
    ipcom_conf.flow = flow;
    return mc_e_ok;
}

char aknord_set_datamote(int /*s*/, char ndat, char stb, char par) {
    ipcom_conf.databits = ndat;
    ipcom_conf.stoppbits = stb;
    ipcom_conf.par = par;
    return mc_e_ok;
}

uint8_t aknord_baud_code(int32_t baud) {
    switch (baud) {
    case 115200: return 1;
    case 57600: return 2;
    case 38400: return 3;
    case 19200: return 4;
    default: return 5;
    }
}

// ---------------------------------------------------------------- packets

uint32_t aknord_build(const uint8_t *buffer, uint32_t bufflen, uint8_t *out) {
    if (!out) return 0;
    const uint8_t head[10] = {2, uint8_t(ipcom_conf.par == 'E' ? 0x81 : 0x80), 3, 'N', 5, 0, 4, 0,
                              1, aknord_baud_code(ipcom_conf.baudrate)};
    std::memcpy(out, head, sizeof head);
    uint32_t len = sizeof head;
    const uint32_t n = buffer ? (bufflen < aknord_max_data ? bufflen : aknord_max_data) : 0;
    for (uint32_t k = 0; k < n; ++k) {
        out[len++] = 0;
        out[len++] = buffer[k];
    }
    return len;
}

char aknord_send(int s, const uint8_t *buffer, uint32_t bufflen) {
    if (!buffer || bufflen == 0) return mc_e_no_buff;
    const uint32_t len = aknord_build(buffer, bufflen, eth_buffer);
    return eth_send(s, eth_buffer, len);
}

char aknord_read(int s, uint8_t *buffer, uint32_t bufflen, uint32_t *nread) {
    if (!buffer) return mc_e_no_buff;
    uint32_t count = 0;
    char rv = mc_e_ok;
    while (count < bufflen) {
        int32_t got = 0;
        rv = eth_recv(s, buffer + count, 1, &got);
        if (rv != mc_e_ok) break;
        ++count;
    }
    if (nread) *nread = count;
    return rv;
}

char aknord_send_std_baud(int s) {
    static const uint8_t std_baud[2] = {0x01, 0x05};
    return eth_send(s, std_baud, sizeof std_baud);
}
