#!/usr/bin/env bash
# The main job: builds Velquor and shows it at work against the simulator.
#
# Starts zelbsim with three monitors on a pseudo-terminal and the window
# program velquor with a demo configuration whose COM1 is that terminal. Where
# no display is available it runs a short velquor-cli tour instead (ping, info,
# a key, a file system saved, read and written into another monitor, a firmware
# file checked and written into the chain, an EDID written into the simulated
# DDC adapter's EEPROM, read back and decoded) and says so. It ends with
# commands to try afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build >/dev/null
cmake --build build -j"$jobs" --target velquor velquor-cli zelbsim velq vq_imagegen vqportio vqportio_sim man_pages
# This build's firmware 5.068 and boot loaders are stand-ins: allowed for the simulator.
export VELQUOR_TEST_IMAGES=1

work=$(mktemp -d /tmp/velquor-demo.XXXXXX)
pty="$work/ttyV0"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

build/bin/zelbsim --pty "$pty" --monitors 3 --fs-random 1:24 --fs-gamma 1:2 >"$work/zelbsim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do [ -e "$pty" ] && break; sleep 0.1; done
if [ ! -e "$pty" ]; then
  echo "demo: the simulator did not start:" >&2
  cat "$work/zelbsim.log" >&2
  exit 1
fi
echo "demo: zelbsim runs three monitors on $pty"

# The demo configuration: RS232 link, COM1 is the simulator's terminal, monitor 1.
cfg="$work/demo.cfg"
cat >"$cfg" <<EOF
ik_commode 238
ik_sys_intf 1
ik_comdev_1 $pty
ik_sys_zelb 1
ik_sys_to 2
ik_sysmode 129
ik_syslang 2
EOF

# The DDC adapter on LPT1, simulated with a blank EEPROM board put on it.
mkdir "$work/adapter"
: >"$work/adapter/plugged"
: >"$work/adapter/board"
export VELQUOR_PORTIO="$PWD/build/bin/libvqportio_sim.so" VELQUOR_PORTIO_SIM="$work/adapter"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: starting velquor with $cfg (close the window to end the demo)"
  (cd "$work" && "$OLDPWD/build/bin/velquor" "$cfg")
else
  echo "demo: no display found, so instead of the window a short velquor-cli tour:"
  cli=build/bin/velquor-cli
  echo "\$ velquor-cli --config demo.cfg --monitor 0 ping"
  "$cli" --config "$cfg" --monitor 0 ping
  echo "\$ velquor-cli --config demo.cfg --monitor 1 info"
  "$cli" --config "$cfg" --monitor 1 info
  echo "\$ velquor-cli --config demo.cfg scan --from 1 --to 1"
  "$cli" --config "$cfg" scan --from 1 --to 1
  echo "\$ velquor-cli --config demo.cfg --monitor 2 key ok"
  "$cli" --config "$cfg" --monitor 2 key ok
  echo "\$ velquor-cli --config demo.cfg --monitor 1 upload mon1.vqf"
  "$cli" --config "$cfg" --monitor 1 upload "$work/mon1.vqf"
  echo "\$ velquor-cli check-dump mon1.vqf"
  "$cli" check-dump "$work/mon1.vqf"
  echo "\$ velquor-cli --config demo.cfg --monitor 2 download mon1.vqf"
  "$cli" --config "$cfg" --monitor 2 download "$work/mon1.vqf"
  build/bin/imagegen hex "$work/demo_v5.h86" 3000
  echo "\$ velquor-cli firmware --check demo_v5.h86"
  "$cli" firmware --check "$work/demo_v5.h86"
  echo "\$ velquor-cli --config demo.cfg --monitor 0 firmware demo_v5.h86 --baud 576000"
  "$cli" --config "$cfg" --monitor 0 firmware "$work/demo_v5.h86" --baud 576000
  build/bin/imagegen edid "$work/demo_edid.bin"
  echo "\$ velquor-cli --config demo.cfg ddc-write demo_edid.bin"
  "$cli" --config "$cfg" ddc-write "$work/demo_edid.bin"
  echo "\$ velquor-cli --config demo.cfg ddc-read board.dat"
  "$cli" --config "$cfg" ddc-read "$work/board.dat"
  echo "\$ velquor-cli edid board.dat"
  "$cli" edid "$work/board.dat"
fi
echo "demo: done"
# The simulator above ends with this script; the commands to try start one of their own.
cat <<EOF
demo: to try next, from $PWD (a simulator of your own; kill %1 ends it):
  build/bin/zelbsim --pty /tmp/vq/ttyV0 --monitors 3 --fs-random 1:40 &
  build/bin/velquor-cli --port /tmp/vq/ttyV0 --monitor 0 ping
  build/bin/velquor-cli --port /tmp/vq/ttyV0 --monitor 2 info
  build/bin/velquor-cli --port /tmp/vq/ttyV0 --monitor 1 upload mon1.vqf
  build/bin/imagegen hex demo_v5.h86 3000
  build/bin/velquor-cli --port /tmp/vq/ttyV0 --monitor 0 firmware demo_v5.h86 --baud 576000
  mkdir -p /tmp/vq/adapter && touch /tmp/vq/adapter/plugged /tmp/vq/adapter/board
  export VELQUOR_PORTIO=\$PWD/build/bin/libvqportio_sim.so VELQUOR_PORTIO_SIM=/tmp/vq/adapter
  build/bin/imagegen edid demo_edid.bin
  build/bin/velquor-cli ddc-write demo_edid.bin
  build/bin/velquor-cli ddc-read board.dat && build/bin/velquor-cli edid board.dat
EOF
