// Why a device could not be opened, in words for the operator.
#pragma once

#include <cstddef>

namespace plat {

// From the errno of the failed opening of `path`: "no such device",
// "permission denied (join group dialout)" with the device's group, "in use by
// another program", "not <kind>" for a file or a device of another kind, and
// the system's text otherwise. `kind` names what was expected, with its
// article ("a serial port"). Writes at most n - 1 characters.
void explain_open_dev(const char *path, int err, const char *kind, char *out, size_t n);

}  // namespace plat
