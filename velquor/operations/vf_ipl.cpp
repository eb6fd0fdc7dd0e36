// Monitor addressing and the nine IP lists: entry access for the group walk and
// the interface names, and the configuration keys "ik_sys_broad", "ik_ipl_<i>"
// (first entry of list i) and "ik_ipl_<i>_<j>" (entry j, from 2 to 30).
#include "velquor/operations/vf_ipl.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "velquor/link/com_link.h"
#include "velquor/util/files.h"
#include "velquor/util/velq_str.h"

const char ipl_std_ip[] = "0.0.0.0";
ip_list_ent ip_list[ipl_n_lists][ipl_n_entries];

uint8_t sys_zelb_nr = 1;
uint8_t sys_intf = 1;
char sys_ip[25] = "0.0.0.0";
int8_t sys_ipx = 0;
uint8_t sys_to = 5;
uint8_t parno = 0;
uint8_t broad = 1;

namespace {

bool ipx_ok(int32_t ipx) { return ipx >= 0 && ipx < ipl_n_lists; }

// An entry never set (before reset_ip_list_start) counts as empty as well.
bool is_empty_ent(const ip_list_ent &e) {
    return e.ip[0] == '\0' || std::strcmp(e.ip, ipl_std_ip) == 0;
}

void set_ip(ip_list_ent &e, const char *ip) { std::snprintf(e.ip, sizeof e.ip, "%s", ip); }

void ipl_key(char *out, size_t n, int i, int j) {
    if (j == 1)
        std::snprintf(out, n, "ik_ipl_%d", i);
    else
        std::snprintf(out, n, "ik_ipl_%d_%d", i, j);
}

// Writes one line of the configuration as its other keys are written: the
// text and CR LF. False when the write failed; its file error id is then in
// sys_f_rv.
bool ipl_writeln(FILE *f, const char *line) {
    const char rc = mf_writeln_str(f, line);
    if (rc == 0) return true;
    sys_f_rv = static_cast<uint8_t>(rc);
    return false;
}

}  // namespace

void set_parno(void) { parno = parno ? 0 : 1; }

void reset_ip_list_start(void) {
    for (auto &list : ip_list)
        for (auto &e : list) {
            e.dns = nullptr;
            set_ip(e, ipl_std_ip);
        }
}

void reset_ip_list(void) {
    broad = 1;
    for (auto &list : ip_list)
        for (auto &e : list) {
            set_ip(e, ipl_std_ip);
            std::free(e.dns);
            e.dns = nullptr;
        }
}

const char *list_get_ip(int32_t ipx) { return list_get_ip_sub(ipx, 0); }

const char *list_get_ip_sub(int32_t ipx, int32_t sub) {
    if (!ipx_ok(ipx) || sub < 0 || sub >= ipl_n_entries) return ipl_std_ip;
    const ip_list_ent &e = ip_list[ipx][sub];
    return e.ip[0] ? e.ip : ipl_std_ip;
}

int32_t list_get_max_sub(int32_t ipx) {
    if (!ipx_ok(ipx) || is_empty_ent(ip_list[ipx][0])) return -1;
    int32_t n = 0;
    while (n < ipl_n_entries && !is_empty_ent(ip_list[ipx][n])) ++n;
    return n;
}

char save_ip_list(FILE *f) {
    if (!f) return 1;
    char line[32 + ipl_dns_max + 2];
    std::snprintf(line, sizeof line, "ik_sys_broad %d", int(broad));
    if (!ipl_writeln(f, line)) return 2;
    char key[32];
    for (int i = 1; i <= ipl_n_lists; ++i)
        for (int j = 1; j <= ipl_n_entries; ++j) {
            const ip_list_ent &e = ip_list[i - 1][j - 1];
            const char *v = e.dns ? e.dns : e.ip;
            ipl_key(key, sizeof key, i, j);
            std::snprintf(line, sizeof line, "%s %.*s", key,
                          static_cast<int>(std::strcspn(v, "\r\n")), v);
            if (!ipl_writeln(f, line)) return 2;
        }
    return 0;
}

char load_ip_list(const char *ind, const char *val) {
    if (!ind || !val) return 1;
    if (strcasecmp(ind, "ik_sys_broad") == 0) {
        // A flag, written as 0 or 1 (blanks and the line's end around it, as
        // the lists' values may have); any other text leaves it as it is: a
        // wrapped or garbled number must not switch the group walk.
        const char *v = val + std::strspn(val, " \t");
        if ((v[0] == '0' || v[0] == '1') && v[1 + std::strspn(v + 1, " \t\r\n")] == 0)
            broad = uint8_t(v[0] - '0');
        return 1;
    }
    char key[32];
    ip_list_ent *ent = nullptr;
    for (int i = 1; i <= ipl_n_lists && !ent; ++i)
        for (int j = 1; j <= ipl_n_entries && !ent; ++j) {
            ipl_key(key, sizeof key, i, j);
            if (strcasecmp(ind, key) == 0) ent = &ip_list[i - 1][j - 1];
        }
    if (!ent) return 0;

    char v[1027];
    std::snprintf(v, sizeof v, "%s", val);
    ms_clean_str(v);
    if (!ms_is_not_ipv4_u_std(v)) {
        set_ip(*ent, v);
        return 1;
    }
    if (std::strlen(v) > ipl_dns_max || ent->dns) return 1;
    ent->dns = static_cast<char *>(std::malloc(std::strlen(v) + 1));
    if (!ent->dns) return 1;
    std::strcpy(ent->dns, v);
    // A text of digits and dots that is no dotted quad ("10.1.5", "10.0.0.01")
    // is a mistyped address, not a host name: the resolver would read it in
    // one of its old numeric forms and give an address the operator never
    // wrote.
    char ip[ipl_ip_size];
    if (v[0] && std::strspn(v, "0123456789.") != std::strlen(v) &&
        eth_resolve_ipv4(v, ip, sizeof ip) == mc_e_ok)
        set_ip(*ent, ip);
    return 1;
}
