// Error ids and their texts: the communication error ids that the link, the
// helper library and the operations return, and the text of every
// communication and file error id in the current language.
//
// An operation records the id of its failure in sys_rv (communication) or
// sys_f_rv (file); its end step shows the id's text once, in an error box.
// The file error ids themselves belong to the file layer (velquor/util/files.h),
// which sits below the texts.
#pragma once

#include <cstdint>

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

// Text id of each file error id (mf_err, velquor/util/files.h).
constexpr int mf_err_texts = 16;
extern const int fmsg_err_id[mf_err_texts];

// The text of a file error id in the current language; ids outside 0..15
// give the text of id 4 ("can not open file").
const char *mf_get_err_msg(int id);
