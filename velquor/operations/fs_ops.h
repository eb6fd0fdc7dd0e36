// The device file system: its commands, the steps that the erase, the upload
// and the download share, and the erase of one monitor, of a ring and of every
// monitor as one step.
//
// A monitor's interface board keeps its stored settings as entries of 32
// words of 16 bits; word 0 is the identifier (class in the low byte, bit 0x10
// of it marking a factory entry, an instance in the high byte). Every word
// travels as the value word of one command frame: a session command starts
// and ends a pass, a selection picks the next entry or the one of an
// identifier (a gamma table by 0xFF00 + its number), reads and writes walk the
// selected or the new entry word by word.
//
// The erase runs as the chain init_ipl, ipl_control, er_fs_1, then per
// monitor of the ring: ring_control (which counts the monitor's entries
// through res_fser_ac), the OK key, the question (fs_er_in, asked once),
// the session command and select-next / delete pairs until the selection
// finds none, and the session command again.
#pragma once

#include <cstdint>

#include "velquor/util/files.h"  // cfg_path_size

// ---------------------------------------------------------------- settings

// The dump file (configuration key ik_fn1) and its write protection (ik_fsf_prot).
extern char fname1[cfg_path_size];
extern uint8_t fsf_prot;
// The file-system transfer in hand: cmd_fs_dnl (PC -> TFT) or cmd_fs_upl
// (TFT -> PC), set by the dispatcher; 0 when none runs.
extern int32_t sysmode2;
// The temporary file setting of the configuration (ik_tempf). Uploads write
// their new file beside the target under a unique name instead, so that two
// programs never share one; the key is kept for existing configurations.
extern char get_temp_file[cfg_path_size];

// ---------------------------------------------------------------- commands

constexpr uint32_t fs_cmd_select = 0x6000;   // value 0: next entry; an identifier: that entry
constexpr uint32_t fs_cmd_read = 0x6001;     // the next word of the selected entry
constexpr uint32_t fs_cmd_write = 0x6002;    // the next word of the new entry
constexpr uint32_t fs_cmd_delete = 0x6003;   // deletes the selected entry
constexpr uint32_t fs_cmd_create = 0x6004;   // creates an entry with the identifier sent
constexpr uint32_t fs_cmd_session = 0x6005;  // starts or ends a pass
constexpr uint32_t fs_none = 0xFFFF;         // no (further) entry
constexpr uint32_t fs_gamma_base = 0xFF00;   // identifier of gamma table n: 0xFF00 + n
constexpr int fs_ent_words = 32;
// Entries a pass takes at most before the device is taken for faulty: a
// selection that never ends would otherwise keep a step busy for ever.
constexpr int32_t fs_max_entries = 0x10000;

// Each sends one command to monitor nr and returns the communication error id.
char start_end_session(uint8_t nr);
char GAMMA_start_end_session(uint8_t nr);
char del_fs_ent(uint8_t nr);
// Selects with value; *value = the identifier answered. 10 without value.
char FS_get_ent(uint8_t nr, uint32_t *value);
// Selects gamma table n: the error id in the low 7 bits; 0x80 when there was
// no error and the monitor has no such table.
char GAMMA_get_tab(uint8_t nr, uint32_t n);
// Reads the next word into *value (cleared first); the _2B form keeps its low
// 16 bits. 10 without value.
char FS_read_word(uint8_t nr, uint32_t *value);
char FS_read_word_2B(uint8_t nr, uint32_t *value);
// Writes the next word of the new entry (the _2B form its low 16 bits).
char FS_write_word(uint8_t nr, uint32_t word);
char FS_write_word_2B(uint8_t nr, uint32_t word);
// Creates the entry of identifier *value; *value = the identifier answered.
// 10 without value.
char FS_create_ent(uint8_t nr, uint32_t *value);
// Selects entry id: 0 selected; 1 none (an answer of 0 or 0xFFFF); 2 a
// command error, its id into *err when given.
char fs_getent_spec(uint8_t nr, uint32_t id, uint8_t *err);
// fs_getent_spec of the next entry; its identifier into *id when given.
char fs_getent_next(uint8_t nr, uint32_t *id, uint8_t *err);
// Selects the next entry, its identifier into *id (when given); the error id.
char get_next_fs_ent(uint8_t nr, uint32_t *id);
// Is there a next entry? 2 yes (any answer below 0xFFFF, 0 included), 1 no,
// else the error id (also in sys_rv).
char get_is_next_fs_ent(uint8_t nr);
// Counts the entries of monitor nr in a pass of its own: *count = entries - 1
// (the callers add 1 back), 0 on failure. The error id; 10 without count;
// 13 when the selection does not end within fs_max_entries.
char fs_get_n_entr(uint8_t nr, int hwnd, int32_t *count);

// ---------------------------------------------------------------- state

// The monitor the commands address, the entry in hand (index 0 the
// identifier), the words of it transferred, the entries handled on this
// monitor and their number (the progress), the erase question's switch.
extern int32_t vansw[fs_ent_words];
extern uint32_t byte_count;
extern int32_t fs_cnt;
extern int32_t n_fsent;
extern uint8_t del_quest;

// What the last erase, upload or download did, kept after its end for
// programs that report without boxes (velquor-cli): the monitor and the
// address (index into the IP list walk, 1-based; 0 outside a walk) reached
// last, the entries handled there and their number, the monitors finished,
// the entries deleted on all of them, the gamma tables saved or written on
// the last one, and whether an erase stopped at an empty file system or the
// question.
struct fs_report_T {
    uint8_t mon;
    int32_t addr;
    int32_t done, total;
    int32_t mons_done;
    int32_t deleted;
    int32_t tables;
    uint8_t empty;     // the file system was empty: nothing to erase or save
    uint8_t declined;  // the erase question was not answered Yes
};
extern fs_report_T fs_report;
void fs_report_reset(void);

// The progress of a pass: caption text `title`, counter texts "<label> 0 of
// max" (text ids), fs_cnt = 0, and a redraw.
void progress_start(int title, int label, int32_t max);
// The same for a pass over n_fsent entries ("Entry:").
void fs_progress_start(int title);

// ---------------------------------------------------------------- steps

// Session command to del_zelb_nr. 1, or 0 on an error.
char fs_start_end_sess2(void);
// Deletes the selected entry. 1, or 0.
char fs_erase_ent(void);
// Selects the next entry: 1 selected (fs_cnt + 1, byte_count 0, progress); 2
// none, the pass ended with the session command; 0 an error.
char fs_get_next_ent2(void);
// Creates the entry of vansw[0], byte_count 0. 1, or 0.
char fs_create_ent(void);
// Selects the entry of vansw[0]: 1 found, 2 not found, 0 an error.
char fs_get_spec_ent(void);
// 2 for mode data (class 0xAE or 0xAF, matched by content), else 1.
char fs_check_ent(void);

// ---------------------------------------------------------------- erase

// Starts the erase of sys_zelb_nr (or of every monitor for 0). Returns 0.
char erase_zelb(int hwnd);
// Steps: opens the link and the ring; the question (once per operation).
char er_fs_1(void);
char fs_er_in(void);
// The per-monitor reset of the erase: counts the entries into n_fsent.
char res_fser_ac(void);
// Erases monitors sys_zelb_nr down to 1 without a question, as one step.
char erase_zelb_all(void);

// The class of an identifier word (its low byte without the factory bit).
inline uint32_t fs_class(uint32_t id) { return id & 0xEF; }
