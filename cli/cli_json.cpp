// The --json document of velquor-cli.
#include "cli/cli_json.h"

#include <cstdio>

#include "platform/cp1252.h"

bool json_on = false;

namespace {

nlohmann::json doc = nlohmann::json::object();

// Operator texts are Windows-1252 inside; the document is UTF-8.
std::string u8(const char *s) { return s ? plat::cp1252_to_utf8(s) : std::string(); }

}  // namespace

nlohmann::json &json_doc(void) { return doc; }

void json_start(const char *command) {
    doc = nlohmann::json::object();
    doc["command"] = command;
}

void json_message(const std::string &text) { doc["messages"].push_back(text); }

void json_error(const char *kind, int id, const std::string &text, const std::string &where,
                const std::string &why) {
    if (doc.contains("error")) return;
    nlohmann::json e = {{"kind", kind}, {"id", id}, {"text", text}};
    if (!where.empty()) e["where"] = where;
    if (!why.empty()) e["why"] = why;
    doc["error"] = e;
}

void json_print(bool ok) {
    doc["ok"] = ok;
    // Texts come from files and devices: bytes that are no UTF-8 are replaced
    // rather than ending the program.
    const std::string out = doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fputs(out.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

nlohmann::json json_identification(const zelb_dat_T &d) {
    char disp[16], rev[16], date[16], iso[16];
    scr_get_zelb_dsp(d.zelb_disp, disp, sizeof disp);
    mc_get_zelb_rev_x(d.zelb_rev, rev, sizeof rev);
    mc_get_zelb_dat_x(d.zelb_dat, date, sizeof date);
    std::snprintf(iso, sizeof iso, "%04u-%02u-%02u", 2000u + ((d.zelb_dat >> 9) & 0x7F),
                  (d.zelb_dat >> 5) & 0xF, d.zelb_dat & 0x1F);
    return {{"board_type", u8(mc_get_zelb_typ_x(d.zelb_ver))},
            {"board_type_code", d.zelb_ver},
            {"display", d.zelb_disp},
            {"display_text", disp},
            {"revision", rev},
            {"revision_code", d.zelb_rev},
            {"firmware_type", u8(scr_get_zelb_firm_tp_x(d.firm_typ))},
            {"firmware_type_code", d.firm_typ},
            {"date", date},
            {"date_iso", iso},
            {"date_code", d.zelb_dat},
            {"failed", d.err != 0}};
}
