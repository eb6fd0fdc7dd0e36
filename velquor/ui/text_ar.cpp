// Operator texts: the table `texte` in German, English and French, the
// language selector and the lookups.
//
// The table is indexed by the text ids of text_ar.h; each row carries its id
// in a comment, and its length is checked against the id count. Non-ASCII
// characters are Windows-1252 bytes written as \xNN escapes; a literal is split
// after an escape wherever the next character would read as a hex digit.
#include "velquor/ui/text_ar.h"

#include <iterator>

uint32_t sys_lang = lang_eng;
char VER_APP_NAME[cfg_app_name_size] = "Velquor II";

// Columns: German, English, French ("" = not translated, nullptr = none). The
// layout keeps split literals together, so the formatter leaves it alone.
// clang-format off
constexpr text texte[texte_rows] = {
    // 0 tx_empty
    {"", "", nullptr},
    // 1 tx_deu
    {"Deutsch", "Deutsch", "Deutsch"},
    // 2 tx_eng
    {"English", "English", "English"},
    // 3 tx_fr
    {"Fran\xE7" "aise", "Fran\xE7" "aise", "Fran\xE7" "aise"},
    // 4 tx_upd
    {"Update", "Update", ""},
    // 5 tx_ver_zelb
    {"Version der ZELB", "Version of ZELB", "version de la zelb"},
    // 6 tx_ver_zelb_alert
    {"Der Typ der Software und der Typ des Monitors sind unterschiedlich. Fortfahren?",
     "There are differences between type of firmware and Monitor. Continue?",
     ""},
    // 7 tx_abr
    {"Abbrechen", "Cancel", "Annuler"},
    // 8 tx_file_write_prot
    {"Die Datei ist schreibgesch\xFCtzt!",
     "The file is write-protected!",
     "Le fichier est verrouill\xE9!"},
    // 9 tx_fs_empty
    {"Das Dateisystem enth\xE4lt keine Eintr\xE4ge!",
     "The file system is empty!",
     "La configuration est creuse!"},
    // 10 tx_gamma_bl
    {"Fehler im Gammadaten", "error in gamma data", ""},
    // 11 tx_gamma_st
    {"Gamma-Start-Eintrag fehlt", "missing gamma start tag", ""},
    // 12 tx_miss_dat
    {"Dateieintrag zu kurz", "file entry too short", ""},
    // 13 tx_fs_er_quest
    {"Wollen Sie die Dateisystemeintr\xE4ge wirklich l\xF6schen?",
     "Do you really want to delete the file system?",
     "Est-ce que vous voulez supprimer la configuration?"},
    // 14 tx_fs_er_quest_all
    {"Wollen Sie die Dateisystemeintr\xE4ge aller Monitore wirklich l\xF6schen?",
     "Do you really want to delete the file system of all monitors?",
     ""},
    // 15 tx_mon_0
    {"Monitor-Nr. muss \"0\" sein!", "Monitor-No. must be set to \"0\"!", ""},
    // 16 tx_gamma_tab_tit
    {"Gammatabelle", "gamma table", ""},
    // 17 tx_gamma_dc_tab_tit
    {"Gammatabelle DICOM", "gamma table DICOM", ""},
    // 18 tx_too_much_gam_ent
    {"Zu viele Gamma-Eintr\xE4ge in der Tabelle",
     "too much gamma entries in table",
     ""},
    // 19 tx_redef_gt
    {"mehrfache Definition einer Gammatabelle",
     "multiple definition of a gamma table",
     ""},
    // 20 tx_vom
    {"vom", "from", "de"},
    // 21 tx_ver_zelb_alert2
    {"Die Version der Firmware auf dem Monitor muss min. 5.068 sein. Fortfahren?",
     "The Version of the fimware of a monitor must be 5.068 or higher. Continue?",
     ""},
    // 22 tx_ver_zelb_alert3
    {"Die Version der Firmware auf dem Monitor muss min. 5.068 sein. Update mit Version 5.068?",
     "The Version of the fimware of a monitor must be 5.068 or higher. Update with version 5.068?",
     ""},
    // 23 tx_fs_er_tit
    {"L\xF6sche Dateisystem",
     "erase file system",
     "supprimer la configuration"},
    // 24 tx_fs_er_n_ent
    {"Eintrag/Eintr\xE4ge wurde/wurden gel\xF6scht",
     "entry/entries was/were deleted:",
     "entr\xE9" "e/entr\xE9" "es a/ont supprim\xE9"},
    // 25 tx_fsupl_tit
    {"FS: TFT->PC ", "FS: TFT->PC ", "FS: TFT->PC "},
    // 26 tx_fsupl_n_ent
    {"Eintrag/Eintr\xE4ge  wurde/wurden geladen",
     "entry/entries  was/were read out",
     "entr\xE9" "e/entr\xE9" "es"},
    // 27 tx_fsdnl_n_ent
    {"Eintrag/Eintr\xE4ge  wurde/wurden geschrieben",
     "entry/entries  was/were written",
     "entr\xE9" "e/entr\xE9" "es"},
    // 28 tx_fsdnl_tit
    {"FS: PC->TFT ", "FS: PC->TFT ", "FS: PC->TFT "},
    // 29 tx_file_no_ent
    {"Die Datei enth\xE4lt keine Eintr\xE4ge!",
     "The file is empty!",
     "Le fichier est creux!"},
    // 30 tx_f_upd
    {"Firmware-Update", "update firmware", "mettre logiciel r\xE9sident \xE0 jour"},
    // 31 tx_f_upd_dp
    {"Firmware-Update: ",
     "update firmware: ",
     "mettre logiciel r\xE9sident \xE0 jour: "},
    // 32 tx_ddc_upl
    {"DDC auslesen: ", "read out DDC", ""},
    // 33 tx_ddc_dnl
    {"DDC schreiben", "write DDC", ""},
    // 34 tx_no_cf_fl
    {"Kann Datei nicht erstellen", "can not create file", ""},
    // 35 tx_act_canc
    {"Sie haben die Aktion abgebrochen!", "Canceled!", ""},
    // 36 tx_no_tft
    {"Kein TFT gefunden!", "no TFT found", ""},
    // 37 tx_2boot_un
    {"unbekannter Fehler im 2. Bootsrap-Loader",
     "unknown error in 2nd bootloader",
     ""},
    // 38 tx_2boot_bytes
    {"zu  viele Bytes im 2. Bootstap-Loader",
     "2nd bootloader is too huge",
     ""},
    // 39 tx_ok
    {"OK", "OK", "OK"},
    // 40 tx_err_un
    {"unbekannter Fehler", "unknown error", ""},
    // 41 tx_io32dll
    {"Kann die Datei \"inpout32.dll\" nicht laden",
     "can't load\t\"inpout32.dll\"",
     ""},
    // 42 tx_io32dll_err
    {"Fehler in der Datei \"inpout32.dll\"", "error in \"inpout32.dll\"", ""},
    // 43 tx_comdll
    {"Kann die Datei \"velq.dll\" nicht laden", "can't load\t\"velq.dll\"", ""},
    // 44 tx_comdll_err
    {"Fehler in der Datei \"velq.dll\"", "error in \"velq.dll\"", ""},
    // 45 tx_port_used
    {"Schnittstelle wird bereits verwendet",
     "port is already used",
     "interface est ouverte"},
    // 46 tx_miss_path
    {"ung\xFCltiger oder fehlender Pfadname",
     "invalid or missing path",
     "l'adresse est sans valeur"},
    // 47 tx_n_op_comp
    {"kann Schnittstelle nicht \xF6" "ffnen",
     "can not open port",
     "ouvrir de interface n'a pas du succ\xE8s"},
    // 48 tx_n_r_compe
    {"kann COM-Port-Einstellungen nicht lesen",
     "can't read out port configuration",
     ""},
    // 49 tx_n_w_compe
    {"kann COM-Port-Einstellungen nicht schreiben",
     "can't write back port configuration",
     ""},
    // 50 tx_n_comp
    {"kein COM-Port angegeben", "port not specified", ""},
    // 51 tx_cmp_w_dat
    {"Fehler beim Schreiben der Daten", "error while writing data", ""},
    // 52 tx_cmp_to
    {"Zeit\xFC" "berschreitung", "Timeout", "temps de d\xE9" "bouclement "},
    // 53 tx_cmp_conf_to
    {"Fehler beim Setzen der Timeoutwerte",
     "error while configurating timeout values",
     ""},
    // 54 tx_cmp_no_buff
    {"kein Puffer angegeben", "buffer not specified", ""},
    // 55 tx_cmp_r_dat
    {"Fehler beim Lesen  von Schnittstelle", "error while reading data", ""},
    // 56 tx_cmp_n_dat
    {"keine oder zu wenig Daten an Schnittstelle",
     "too few data at the interface",
     ""},
    // 57 tx_cmp_inv_dat
    {"Fehler bei Daten\xFC" "bertragung, defekter Datenrahmen",
     "invalid data frame",
     ""},
    // 58 tx_cmp_n_ack
    {"kein ACK von Kommunikationspartner", "no ACK at interface", ""},
    // 59 tx_cmp_r_to
    {"Fehler beim Lesen der Timeoutwerte",
     "can't read out timeout configuration",
     ""},
    // 60 tx_cmp_inv_to
    {"ung\xFCltiger Wert f\xFCr Timeout", "invalid value for timeout", ""},
    // 61 tx_cmp_inv_cks
    {"falsche Cheksumme in Datrenrahmen",
     "invalid checksum",
     "somme de contr\xF4le erron\xE9" "e "},
    // 62 tx_cmp_end_buff
    {"Ende des Datenpuffers erreicht", "end of buffer", ""},
    // 63 tx_cmp_inv_data
    {"fehlerhafte Daten an Schnittstelle", "invalid data at interface", ""},
    // 64 tx_cmp_ddc_wp
    {"DDC-EEPROM schreibgesch\xFCtzt", "ddc writeprotection", ""},
    // 65 tx_cmp_flush
    {"Kein I2C-Adapter gefunden", "no i2c-converter detected", ""},
    // 66 tx_cmp_loop
    {"Loop", "Loop", ""},
    // 67 tx_cmp_ip
    {"ung\xFCltige IP-Adresse", "invalid IP", ""},
    // 68 tx_cmp_err
    {"unbekannter Fehler bei Schittstellen-Operation",
     "unknown error while operating with interface",
     ""},
    // 69 tx_cmp_nosock
    {"Kann kein Socket erstellen", "Can't create socket", ""},
    // 70 tx_cmp_ipl_em
    {"IP-Liste ist leer", "IP-List is empty", ""},
    // 71 tx_unknown
    {"unbekannt", "unknown", ""},
    // 72 tx_typ
    {"Typ:", "Typ:", ""},
    // 73 tx_dsp
    {"Monitor:", "Display:", ""},
    // 74 tx_vers
    {"Version:", "Version:", ""},
    // 75 tx_dat
    {"Datum:", "Date:", ""},
    // 76 tx_fe_use
    {"Datei wird bereits verwendet", "file is already used", ""},
    // 77 tx_fe_atr
    {"ung\xFCltige Dateiattribute", "invalid file attributes", ""},
    // 78 tx_fe_nopath
    {"ung\xFCltiger oder fehlender Dateiname",
     "invalid or missing file path",
     ""},
    // 79 tx_fe_open
    {"kann Datei nicht \xF6" "ffnen", "can not open file", ""},
    // 80 tx_fe_nobuff
    {"kein Puffer angegeben", "buffer not specified", ""},
    // 81 tx_fe_bf_sh
    {"Ende des Datenpuffers erreicht", "end of buffer", ""},
    // 82 tx_fe_eof
    {"Dateiende erreicht", "end of file", ""},
    // 83 tx_fe_no_file
    {"", "", ""},
    // 84 tx_fe_rw
    {"Fehler beim Lesen oder Schreiben von/in die/der Datei",
     "error while reading or writing  from/to file",
     ""},
    // 85 tx_fe_nodat
    {"Keine oder zu wenig Daten in der Datei", "too few data in file", ""},
    // 86 tx_fe_invpos
    {"ung\xFCltige Position in Datei", "invalid position in file", ""},
    // 87 tx_fe_sz
    {"unbekannte Dateigr\xF6\xDF" "e", "invalid size of file", ""},
    // 88 tx_fe_invdat
    {"unbekanntes Dateiformat", "invalid format of file", ""},
    // 89 tx_fe_lines
    {"zu viele Zeilen in Datei", "too much lines in file", ""},
    // 90 tx_err_op_mak
    {"Kann die Makrodatei nicht \xF6" "ffnen!",
     "Can not open macro file!",
     ""},
    // 91 tx_err_read_mak
    {"Fehler in Makrodatei: ", "error in marco file: ", ""},
    // 92 tx_err_mixed_mak
    {"Fehler: gemischte Eintr\xE4ge in Makro",
     "mixed entries in makro",
     ""},
    // 93 tx_ddc_pc
    {"PC -> DDC", "PC -> DDC", ""},
    // 94 tx_firm_choose
    {"Firwmare-Datei w\xE4hlen", "Chose Firmware File", ""},
    // 95 tx_firm_mask
    {"Alle Dateien [*.*],*.*,Firmware-Datei [*.h86],*.h86",
     "All Files [*.*],*.*,Firmware File [*.h86],*.h86",
     ""},
    // 96 tx_ddc_choose
    {"DDC-Datei w\xE4hlen", "Choose DDC File", ""},
    // 97 tx_ddc_mask
    {"Alle Dateien [*.*],*.*,Bin\xE4ratei [*.bin],*.bin,EDID-Dateien [*.dat],*.dat",
     "All Files [*.*],*.*,Binary [*.bin],*.bin,EDID [*.dat],*.dat",
     ""},
    // 98 tx_fs_choose
    {"Dateisystem-Datei w\xE4hlen", "Choose Filesystem File", ""},
    // 99 tx_fs_mask
    {"Alle Dateien [*.*],*.*,Dateisystem-Datei [*.vqf],*.vqf",
     "All Files [*.*],*.*,Filesystem File [*.vqf],*.vqf",
     ""},
    // 100 tx_res_cpu
    {"Reset CPU!", "Reset CPU!", ""},
    // 101 tx_boot_prim
    {"Bootstap->prim\xE4rer Sektor", "Bootstap->primary Sector", ""},
    // 102 tx_boot_prim_err
    {"Fehler beim Senden des Prim\xE4ren Bootsektors!",
     "Error while sending primary sectoor!",
     ""},
    // 103 tx_boot_sec
    {"Bootstap->sekund\xE4rer Sektor:", "Bootstap->secundary Sector:", ""},
    // 104 tx_boot_firm
    {"Bootstap->Firmware:", "Bootstap->Firmware:", ""},
    // 105 tx_von
    {"von", "of", ""},
    // 106 tx_line
    {"Zeile:", "Line:", ""},
    // 107 tx_byte
    {"Byte:", "Byte:", ""},
    // 108 tx_ent
    {"Eintrag:", "Entry:", ""},
    // 109 tx_fertig
    {"Erfolg", "Success", ""},
    // 110 tx_no_board
    {"Keine Platine", "No Board", ""},
    // 111 tx_status
    {"Status:", "Status:", ""},
    // 112 tx_err
    {"Fehler", "Error", ""},
    // 113 tx_time_s
    {"Zeit [s]:", "Time [s]:", ""},
    // 114 tx_wait
    {"Bitte warten", "please wait", ""},
    // 115 tx_mult_color
    {"Mehrfachdefinition des Farbeintrags!",
     "multiple definition of color entry",
     ""},
    // 116 tx_err_colpt
    {"Fehler in der Farbpunktliste", "error in color point list", ""},
    // 117 tx_gamma_col_tit
    {"Farbpunkte", "color points", ""},
    // 118 tx_gamma_def_col_tit
    {" Def. Farbpunkte", "def. color points", ""},
    // 119 tx_no_zelb_nr
    {"keine Monitor-Nummer", "no Monitor-No.", ""},
    // 120 tx_no_file_ent
    {"Die Datei enth\xE4lt keine Eintr\xE4ge", "no entries in file", ""},
    // 121 tx_much_file_ent
    {"Die Datei enth\xE4lt zu viele Eintr\xE4ge",
     "too much entries in file",
     ""},
    // 122 tx_val
    {"Wert: ", "Value: ", ""},
    // 123 tx_no_intf_open
    {"Kann keine Schnittstelle \xF6" "ffnen!",
     "Can't open any interface",
     ""},
    // 124 tx_intf
    {"Schnittstelle:", "Interface:", ""},
    // 125 tx_intfs
    {"Schnittstelle(n):", "Interface(s):", ""},
    // 126 tx_ended
    {" {abgebrochen}", " {aborted}", ""},
    // 127 tx_monitor
    {"Monitor(e)", "Monitor(s)", ""},
    // 128 tx_scan
    {"Suche", "Scan", ""},
    // 129 tx_inv_num
    {"fehlerhafte Zahl:", "invalid number:", ""},
    // 130 tx_max_intf
    {"zu viele Schnittstellen:", "too many interfaces", ""},
    // 131 tx_ip_diff
    {"Die IPs sollen sich nur im letzten Byte unterscheiden!",
     "The IPs should only differ in the last byte!",
     ""},
    // 132 tx_mon
    {"Monitor", "Monitor", ""},
    // 133 tx_syserr_nomem
    {"Kann kein Speicher reservieren!", "Can't reserve memory!", ""},
    // 134 tx_cmp_no_eth
    {"Ethernetfunktion nicht m\xF6glich", "No Ethernet Function", ""},
    // 135 tx_debug
    {"Debug", "Debug", nullptr},
    // 136 tx_gamma_dc_tab_def_tit
    {"Def. Gammatabelle DICOM", "def. gamma table DICOM", nullptr},
    // 137 tx_gamma_tab_def_tit
    {"Def. Gammatabelle", "def. gamma table", nullptr},
};
// clang-format on

static_assert(std::size(texte) == tx_gamma_tab_def_tit + 1, "texte must have one row per text id");

namespace {

// A row left out of the initialiser would not change the array's length: the
// missing rows at the end would be zero-filled. Every row has its German and
// English text, so a null one there means a row is missing.
consteval bool every_row_filled() {
    for (const text &t : texte) {
        if (t.tx_deu == nullptr || t.tx_eng == nullptr) return false;
    }
    return true;
}
static_assert(every_row_filled(), "texte: every row needs its German and English text");

}  // namespace

namespace {

constexpr char empty_text[] = "";

const char *nz(const char *s) { return s ? s : empty_text; }

}  // namespace

const char *scr_get_text_lang(int row, uint32_t lang) {
    if (row < 0 || row >= texte_rows) return empty_text;
    const text &t = texte[row];
    if (lang == lang_deu) return nz(t.tx_deu);
    if (lang == lang_fr) return nz(t.tx_franz);
    return nz(t.tx_eng);
}

const char *scr_get_text_ix(int row) { return scr_get_text_lang(row, sys_lang); }

const char *scr_get_text_none(uint32_t /*lang*/) { return empty_text; }

const char *sys_get_msg(int rv) {
    switch (rv) {
    case 0: return scr_get_text_ix(tx_ok);
    case 1: return scr_get_text_ix(tx_io32dll);
    case 2:
    case 3: return scr_get_text_ix(tx_io32dll_err);
    case 10: return scr_get_text_ix(tx_comdll);
    case 11: return scr_get_text_ix(tx_comdll_err);
    case 12: return scr_get_text_ix(tx_syserr_nomem);
    default: return scr_get_text_ix(tx_err_un);
    }
}
