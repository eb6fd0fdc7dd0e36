// Fuzz target: velquor-cli's command line (cli_parse). The input split at its
// NUL bytes is the argument vector after the program's name.
//
// The parser must answer one of its four results; a command line it takes
// names a command, and every path it keeps fits the settings it goes to.
#include <string>
#include <vector>

#include "cli/cli.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fz_begin();
    std::vector<std::string> args{"velquor-cli"};
    std::string cur;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(data[i]);
        }
    }
    if (size > 0) args.push_back(cur);
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    cli_opts o;
    std::string err;
    const int rc = cli_parse(static_cast<int>(args.size()), argv.data(), &o, &err);
    FZ_CHECK(rc == cli_parse_ok || rc == cli_parse_help || rc == cli_parse_usage ||
             rc == cli_parse_version);
    FZ_CHECK((rc == cli_parse_usage) == !err.empty());
    if (rc == cli_parse_ok) {
        FZ_CHECK(o.cmd != cli_none);
        FZ_CHECK(o.file.size() <= 1023 && o.config.size() <= 1023 && o.log.size() <= 1023);
        FZ_CHECK(o.button.size() <= 25 && o.i2c.size() < 96);
    }
    return 0;
}
