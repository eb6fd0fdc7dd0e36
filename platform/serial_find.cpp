// Finding the serial devices of this machine and giving them COM numbers
// (the rule is in serial.h, at ser_find_ports).
//
// Linux names its legacy ports /dev/ttyS0 ... whether or not a UART stands
// behind them, while the ports an operator actually plugs in are USB
// adapters, /dev/ttyUSBn and /dev/ttyACMn. Left to the table's default, such
// an adapter would have no COM number at all. This module looks at the
// device names and at sysfs only; it opens no device, so it never disturbs a
// port another program uses.
#include "serial.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace plat {
namespace {

bool exists(const std::string &path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The canonical path of `path` (links resolved), or the path itself when it
// cannot be resolved.
std::string canonical(const std::string &path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return buf;
    return path;
}

// Names of the entries of a folder, sorted; empty when it cannot be read.
std::vector<std::string> list_dir(const std::string &dir) {
    std::vector<std::string> names;
    DIR *d = ::opendir(dir.c_str());
    if (!d) return names;
    while (const dirent *e = ::readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// The number after `prefix` in `name` ("ttyUSB12" -> 12), -1 when the rest is
// not a plain decimal number.
int number_after(const std::string &name, const char *prefix) {
    const size_t n = std::strlen(prefix);
    if (name.compare(0, n, prefix) != 0 || name.size() == n || name.size() > n + 4) return -1;
    int v = 0;
    for (size_t i = n; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        v = v * 10 + (name[i] - '0');
    }
    return v;
}

// True when a UART stands behind the legacy port `tty` (ttySk): sysfs gives it
// a device, and its `type` attribute, where the driver has one, is not 0
// (PORT_UNKNOWN: a slot the driver reserved without finding hardware).
bool uart_behind(const std::string &sys_root, const std::string &tty) {
    const std::string dir = sys_root + "/class/tty/" + tty;
    if (!exists(dir + "/device")) return false;
    FILE *f = std::fopen((dir + "/type").c_str(), "r");
    if (!f) return true;
    // Read as text and converted by strtol: a number beyond int stays a
    // number other than 0, where fscanf's "%d" would be undefined.
    char text[64];
    const bool read = std::fgets(text, sizeof text, f) != nullptr;
    std::fclose(f);
    if (!read) return true;
    char *end = nullptr;
    const long type = std::strtol(text, &end, 10);
    return end == text || type != 0;
}

// An adapter found in /dev: its kind (0 ttyUSB, 1 ttyACM), number and path.
struct adapter {
    int kind, nr;
    std::string path;
};

std::vector<adapter> find_adapters(const std::string &dev) {
    std::vector<adapter> out;
    for (const std::string &name : list_dir(dev)) {
        static const char *const kinds[] = {"ttyUSB", "ttyACM"};
        for (int k = 0; k < 2; ++k) {
            const int nr = number_after(name, kinds[k]);
            if (nr >= 0) out.push_back({k, nr, dev + "/" + name});
        }
    }
    std::sort(out.begin(), out.end(), [](const adapter &a, const adapter &b) {
        return a.kind != b.kind ? a.kind < b.kind : a.nr < b.nr;
    });
    return out;
}

}  // namespace

int ser_find_ports(const char *dev_root, const char *sys_root) {
    const std::string dev = dev_root && *dev_root ? dev_root : "/dev";
    const std::string sys = sys_root && *sys_root ? sys_root : "/sys";
    for (int n = 1; n <= 99; ++n) ser_set_com_default(n, nullptr);

    // Numbers that are not free, and the devices that have a number already.
    bool taken[100] = {};
    std::set<std::string> named;
    for (int n = 1; n <= 99; ++n) {
        if (!ser_com_path_is_set(n)) continue;
        taken[n] = true;
        named.insert(canonical(ser_com_path(n)));
    }
    for (int k = 0; k < 99; ++k) {
        const std::string tty = "ttyS" + std::to_string(k);
        if (exists(dev + "/" + tty) && uart_behind(sys, tty)) taken[k + 1] = true;
    }

    // The stable name of each device: the first by-id link to it.
    std::map<std::string, std::string> stable;
    const std::string by_id = dev + "/serial/by-id";
    for (const std::string &name : list_dir(by_id))
        stable.emplace(canonical(by_id + "/" + name), by_id + "/" + name);

    int given = 0, n = 1;
    for (const adapter &a : find_adapters(dev)) {
        const std::string id = canonical(a.path);
        if (named.count(id)) continue;
        while (n <= 99 && taken[n]) ++n;
        if (n > 99) break;
        const auto s = stable.find(id);
        if (!ser_set_com_default(n, s != stable.end() ? s->second.c_str() : a.path.c_str()))
            continue;
        taken[n] = true;
        named.insert(id);
        ++given;
    }
    return given;
}

}  // namespace plat
