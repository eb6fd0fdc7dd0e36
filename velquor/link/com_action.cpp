// Device link: the result globals shared by every operation step.
#include "com_action.h"

uint8_t sys_rv = 0;
uint8_t sys_f_rv = 0;
uint32_t sys_cmd = 0;
uint32_t sys_val = 0;
char sys_msg[101] = {0};
