// The helper library's functions as the program holds them: one pointer per
// bound export, nullptr while the library is not bound. Kept apart from the
// binder (vqsystem.cpp) so that code which only calls through the pointers
// (the link, test stand-ins) does not carry the start-up code with it.
#include "velquor/util/vqsystem.h"

void (*mc_CloseCom)(int *cp) = nullptr;
char (*mc_opencom)(int *hcom, const char *intf) = nullptr;
char (*set_comm_timeouts_zelb)(int hcom, uint32_t tor) = nullptr;
char (*mc_read_com_buff)(int hcom, unsigned char *buff, uint32_t nbuff, uint32_t *s_read) = nullptr;
char (*mc_writecom_buff)(int hcom, const unsigned char *buff, uint32_t n_buff) = nullptr;

void (*mw_enab_butt)(int hwnd, int enab) = nullptr;
void (*mw_alert2)(int hwnd, const char *title, const char *text, char style) = nullptr;
char (*mw_quest2)(int hwnd, const char *title, const char *text, char style) = nullptr;
char (*mw_select_menu2)(void *hInst, int hwnd, int id) = nullptr;

char (*ms_is_not_uchar_li)(int32_t li) = nullptr;
int32_t (*ms_get_ipv4_str)(const char *s, uint8_t *b4, uint8_t *b3, uint8_t *b2,
                           uint8_t *b1) = nullptr;
int32_t (*ms_get_ipv4_4b)(char *s, uint8_t b4, uint8_t b3, uint8_t b2, uint8_t b1) = nullptr;
char (*ms_swap_buffer_uc)(void *buff1, void *buff2) = nullptr;
char (*ms_swap_buffer_li)(void *buff1, void *buff2) = nullptr;
