// A stop for the waits of the I/O layers.
//
// While the stop is raised, every wait of the serial and socket layers for a
// port or a peer (a read's time-out, a write that stalls, a receive, a
// connect, an ICMP echo) ends at once with its "stopped" result, so that a
// thread blocked in I/O leaves promptly when the program stops what it is
// doing. The stop stays raised until it is cleared, and I/O begun meanwhile
// ends at once as well. Raising and clearing may happen on any thread.
#pragma once

namespace plat {

void io_stop_raise();
void io_stop_clear();
bool io_stop_raised();
// A descriptor that polls readable while the stop is raised (-1 when the
// process could not make one; the stop then only shows in io_stop_raised).
int io_stop_fd();

}  // namespace plat
