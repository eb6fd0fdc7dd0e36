// Why a device could not be opened, in words for the operator.
#pragma once

#include <cstddef>

namespace plat {

// From the errno of the failed opening of `path`: "no such device",
// "permission denied (join group dialout)" with the device's group (see
// explain_permission), "in use by another program", "not <kind>" for a file or
// a device of another kind, and the system's text otherwise. `kind` names what
// was expected, with its article ("a serial port"); `usual_group` is the group
// such devices are given on this kind of system ("dialout", "i2c"), or null.
// Writes at most n - 1 characters.
void explain_open_dev(const char *path, int err, const char *kind, const char *usual_group,
                      char *out, size_t n);

// The words for a device that refused the user, from what is known of its
// group: `group` is its name, or null or empty when the device is root's or
// its group has no name; `active` says this process holds the group already,
// `listed` that the user is a member of it in the group database (a member
// who has not logged in again since joining does not hold it yet).
//   "permission denied (join group G)"
//   "permission denied (log in again to use group G)"       listed, not active
//   "permission denied (not even for group G)"              active
//   "permission denied (the device is root's, not group U's)"  root's, usual U
//   "permission denied"
void explain_permission(const char *group, bool active, bool listed, const char *usual_group,
                        char *out, size_t n);

}  // namespace plat
