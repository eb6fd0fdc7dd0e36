// Port I/O over /dev/parportN with the ppdev ioctls (see portio_sys.h).
#include <fcntl.h>
#include <grp.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "portio/portio_sys.h"

namespace vqportio {
namespace {

std::string group_of(const char *path) {
    struct stat st {};
    if (::stat(path, &st) != 0) return "";
    // getgrgid_r: the library may be called from several threads. The buffer
    // grows while a large group does not fit.
    std::vector<char> buf(4096);
    for (;;) {
        struct group gr {};
        struct group *found = nullptr;
        const int rc = ::getgrgid_r(st.st_gid, &gr, buf.data(), buf.size(), &found);
        if (rc == 0) return found && found->gr_name ? found->gr_name : "";
        if (rc != ERANGE || buf.size() >= (size_t{1} << 24)) return "";
        buf.resize(buf.size() * 2);
    }
}

int sys_open(const char *path, int flags) { return ::open(path, flags); }
int sys_ioctl(int fd, unsigned long request, void *arg) { return ::ioctl(fd, request, arg); }
int sys_close(int fd) { return ::close(fd); }

Sys g_sys{sys_open, sys_ioctl, sys_close, group_of};

enum class State { unopened, open, failed };

struct Device {
    const char *path;
    State state = State::unopened;
    int fd = -1;
};

class Table {
public:
    ~Table() { close_all(); }

    // The device of port and whether port is its status register; nullptr
    // for an address outside the table.
    Device *find(unsigned port, bool &is_status) {
        static constexpr unsigned kBase[] = {0x378, 0x278, 0x3BC};
        for (std::size_t i = 0; i < devs_.size(); ++i) {
            if ((port & ~1u) == kBase[i]) {
                is_status = (port & 1u) != 0;
                return &devs_[i];
            }
        }
        return nullptr;
    }

    // Opens and claims dev on its first use; true while it is usable.
    bool ready(Device &dev) {
        if (dev.state == State::open) return true;
        if (dev.state == State::failed) return false;
        int fd = g_sys.open(dev.path, O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            int err = errno;
            fail(dev, describe_open_error(dev.path, err));
            return false;
        }
        if (g_sys.ioctl(fd, PPCLAIM, nullptr) != 0) {
            int err = errno;
            g_sys.close(fd);
            fail(dev, std::string(dev.path) + ": cannot claim the port: " + error_text(err) +
                          " (another program may hold it)");
            return false;
        }
        dev.fd = fd;
        dev.state = State::open;
        return true;
    }

    // A register access failed on an open device: the device is given up.
    void lost(Device &dev, const char *what, int err) {
        g_sys.ioctl(dev.fd, PPRELEASE, nullptr);
        g_sys.close(dev.fd);
        dev.fd = -1;
        fail(dev, std::string(dev.path) + ": " + what + " failed: " + error_text(err));
    }

    void close_all() {
        for (Device &dev : devs_) {
            if (dev.state == State::open) {
                g_sys.ioctl(dev.fd, PPRELEASE, nullptr);
                g_sys.close(dev.fd);
            }
            dev.fd = -1;
            dev.state = State::unopened;
        }
        status_[0] = '\0';
    }

    const char *status() const { return status_.data(); }

    std::mutex mutex;

private:
    static std::string error_text(int err) { return std::generic_category().message(err); }

    static std::string describe_open_error(const char *path, int err) {
        std::string msg = std::string(path) + ": " + error_text(err);
        if (err == EACCES || err == EPERM) {
            // Words like the program's own for its serial ports and I2C
            // buses: the group to join (a membership counts from the next
            // login), or that the port is root's where parallel ports
            // normally belong to group lp.
            const std::string group = g_sys.owner_group(path);
            if (group.empty())
                msg += " (join the group that owns the device, then log in again)";
            else if (group == "root")
                msg += " (the device is root's, not group lp's)";
            else
                msg += " (join group " + group + ", then log in again)";
        } else if (err == ENOENT || err == ENODEV || err == ENXIO) {
            msg += " (no such parallel port, or the ppdev module is not loaded)";
        }
        return msg;
    }

    // Reports msg once and makes dev a port with nothing attached.
    void fail(Device &dev, const std::string &msg) {
        dev.state = State::failed;
        std::snprintf(status_.data(), status_.size(), "vqportio: %s", msg.c_str());
        std::fprintf(stderr, "%s\n", status_.data());
    }

    std::array<Device, 3> devs_{{{"/dev/parport0"}, {"/dev/parport1"}, {"/dev/parport2"}}};
    std::array<char, 512> status_{};
};

Table g_table;

}  // namespace

Sys &sys() { return g_sys; }

Sys real_sys() { return Sys{sys_open, sys_ioctl, sys_close, group_of}; }

short inp(short port) {
    std::lock_guard<std::mutex> lock(g_table.mutex);
    bool is_status = false;
    Device *dev = g_table.find(static_cast<unsigned short>(port), is_status);
    if (dev == nullptr || !g_table.ready(*dev)) return kFloating;
    unsigned char value = 0;
    unsigned long request = is_status ? PPRSTATUS : PPRDATA;
    if (g_sys.ioctl(dev->fd, request, &value) != 0) {
        g_table.lost(*dev, is_status ? "reading the status register" : "reading the data register",
                     errno);
        return kFloating;
    }
    return value;
}

void out(short port, short value) {
    std::lock_guard<std::mutex> lock(g_table.mutex);
    bool is_status = false;
    Device *dev = g_table.find(static_cast<unsigned short>(port), is_status);
    if (dev == nullptr || is_status || !g_table.ready(*dev)) return;
    auto byte = static_cast<unsigned char>(value & 0xFF);
    if (g_sys.ioctl(dev->fd, PPWDATA, &byte) != 0)
        g_table.lost(*dev, "writing the data register", errno);
}

const char *status() {
    std::lock_guard<std::mutex> lock(g_table.mutex);
    return g_table.status();
}

void close_all() {
    std::lock_guard<std::mutex> lock(g_table.mutex);
    g_table.close_all();
}

}  // namespace vqportio
