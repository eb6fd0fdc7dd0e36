// velquor-cli --json: one JSON document on stdout with the facts the text
// result gives, numbers as numbers, so that a script can drive many monitors
// without reading prose. The document is filled while the command runs and
// printed once at its end:
//   {"command": "...", "ok": true|false, ...facts...,
//    "error": {"kind": "link"|"file", "id": N, "text": "...", "where": "...", "why": "..."},
//    "messages": ["...", ...]}
// "error" and "messages" appear only when there is one.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "velquor/operations/vf_info.h"

// The document of this run; json_on says whether --json asked for it.
extern bool json_on;
nlohmann::json &json_doc(void);
// Begins the document of `command`.
void json_start(const char *command);
// An error text as stderr shows it (a box, a file's complaint), in UTF-8.
void json_message(const std::string &text);
// The error of a failed command: kind "link" (a communication error id) or
// "file" (a file error id), its text, and where and why when known. The first
// one given stays.
void json_error(const char *kind, int id, const std::string &text, const std::string &where = "",
                const std::string &why = "");
// Sets "ok" and prints the document on stdout.
void json_print(bool ok);

// The identification of one monitor by field name: board type (name and
// code), display number, revision (text and code), firmware type, date (as
// shown, as an ISO date and as the packed code) and whether a query failed.
nlohmann::json json_identification(const zelb_dat_T &d);
