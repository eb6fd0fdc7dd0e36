#!/usr/bin/env bash
# The Debian package of a build, unpacked into a fresh directory tree: it holds
# what an operator needs, its dependencies come from the shared libraries, and
# the installed programs run from the tree alone (their own libraries through
# $ORIGIN, never from the build): velquor-cli --version, a ping against the
# installed zelbsim, an EDID read through the installed simulated adapter.
#   bash tests/test_package.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build=$(readlink -f "$1")
src=$(readlink -f "$2")

tmp=$(mktemp -d /tmp/vq_pkg_test.XXXXXX)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

deb=$(bash "$src/scripts/package.sh" --build-dir "$build" --out "$tmp/out" 2>"$tmp/cpack.log" | tail -n 1)
if [ ! -f "$deb" ]; then
  cat "$tmp/cpack.log"
  echo "FAIL: scripts/package.sh made no package"
  exit 1
fi
root=$tmp/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x $deb"; exit 1; }
usr=$root/usr
with_window=0
[ -x "$build/bin/velquor" ] && with_window=1

# What the package holds.
expected=(bin/velquor-cli bin/zelbsim lib/velquor/velquor-cli lib/velquor/zelbsim
          lib/velquor/libvelq.so lib/velquor/libvqportio.so lib/velquor/libvqportio_sim.so
          lib/velquor/libvq_platform.so
          share/man/man1/velquor-cli.1.gz share/man/man1/zelbsim.1.gz
          share/bash-completion/completions/velquor-cli
          lib/udev/rules.d/60-velquor-i2c.rules lib/modules-load.d/velquor-i2c.conf)
[ $with_window = 1 ] && expected+=(bin/velquor lib/velquor/velquor lib/velquor/libvq_platform_qt.so
                                   share/man/man1/velquor.1.gz share/applications/velquor.desktop
                                   share/icons/hicolor/scalable/apps/velquor.svg)
for f in "${expected[@]}"; do
  [ -e "$usr/$f" ] || fail "the package lacks /usr/$f"
done
for prog in velquor-cli zelbsim; do
  link=$(readlink "$usr/bin/$prog")
  [ "$link" = "../lib/velquor/$prog" ] || fail "/usr/bin/$prog links to '$link', not ../lib/velquor/$prog"
done
if dpkg-deb -c "$deb" | grep -E -v '/usr/bin/|/usr/lib/velquor/|/usr/share/|/usr/lib/udev/|/usr/lib/modules-load.d/|\./usr/$|\./usr/(bin|lib|share)/$|\./$' >"$tmp/stray"; then
  fail "files outside the places of an installation: $(cat "$tmp/stray")"
fi
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -q 'postinst$' || fail "the package has no postinst"

# The dependencies come from the libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
needs=(libc6 libstdc++6)
[ $with_window = 1 ] && needs+=(libqt6widgets6 libqt6svg6)
for p in "${needs[@]}"; do
  grep -q "\b$p\b" <<<"$depends" || fail "Depends lacks $p: $depends"
done
version=$(dpkg-deb -f "$deb" Version)

# Every installed program and library finds what it links: the package's own
# libraries in the tree, through a RUNPATH of $ORIGIN only.
for f in "$usr"/lib/velquor/*; do
  runpath=$(readelf -d "$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  if ldd "$f" | grep -q 'not found'; then fail "$f: $(ldd "$f" | grep 'not found' | head -n 3)"; fi
  if ldd "$f" | grep 'libvq_platform' | grep -v -q "$usr/lib/velquor/"; then
    fail "$f finds libvq_platform outside the tree: $(ldd "$f" | grep libvq_platform)"
  fi
  case "$f" in
    *.so) [ -z "$runpath" ] || [ "$runpath" = '$ORIGIN' ] || fail "$f: RUNPATH $runpath" ;;
    *)    [ "$runpath" = '$ORIGIN' ] || fail "$f: RUNPATH '$runpath', not \$ORIGIN" ;;
  esac
done

# The installed programs run, from a folder of their own (no std.cfg around).
mkdir -p "$tmp/work" && cd "$tmp/work" || exit 1
out=$("$usr/bin/velquor-cli" --version 2>&1) || fail "velquor-cli --version: $out"
[ "$(head -n 1 <<<"$out")" = "velquor-cli $version" ] || fail "velquor-cli --version says '$out', the package $version"
if [ $with_window = 1 ]; then
  out=$(QT_QPA_PLATFORM=offscreen "$usr/bin/velquor" --version 2>&1) || fail "velquor --version: $out"
  [ "$(head -n 1 <<<"$out")" = "velquor $version" ] || fail "velquor --version says '$out'"
  desktop-file-validate "$usr/share/applications/velquor.desktop" || fail "the desktop entry does not validate"
fi

"$usr/bin/zelbsim" --pty "$tmp/tty" --monitors 2 >"$tmp/zelbsim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -e "$tmp/tty" ] && break; sleep 0.1; done
out=$("$usr/bin/velquor-cli" --port "$tmp/tty" --monitor 0 ping 2>&1)
rc=$?
[ $rc -eq 0 ] && grep -q "^2 monitors answer" <<<"$out" || fail "ping from the tree (exit $rc): $out $(cat "$tmp/zelbsim.log")"

# The port-I/O library of the simulated adapter, loaded from the tree.
mkdir -p "$tmp/adapter" && touch "$tmp/adapter/plugged" "$tmp/adapter/board"
out=$(VELQUOR_PORTIO="$usr/lib/velquor/libvqportio_sim.so" VELQUOR_PORTIO_SIM="$tmp/adapter" \
      "$usr/bin/velquor-cli" ddc-read edid.bin 2>&1)
rc=$?
[ $rc -eq 0 ] && [ "$(stat -c %s edid.bin 2>/dev/null)" = 128 ] || fail "ddc-read from the tree (exit $rc): $out"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s); the package: $deb"
  exit 1
fi
echo "the package $(basename "$deb") installs and runs from a fresh tree"
