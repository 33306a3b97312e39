#!/usr/bin/env bash
# Installs what is missing, builds the program (without sanitizers) and the
# stand-in vendor libraries into build-demo/, and runs the program's main job
# twice on the simulated machine laid out from tools/demo/: an /etc/hba.conf
# listing a QLogic and an Emulex FC-HBA library (stand-ins, with their
# scenarios), a stand-in Emulex management library, a sysfs tree with the
# adapters' PCI functions, a Red Hat release file, and a package directory
# with reference.xml and a stand-in ./tarvqlafwupdate. Of the two QLogic
# adapters one carries an older boot BIOS than the package, one the
# package's own; the Emulex adapter is not one the QLogic program supports.
#   1. "/d discovery.xml": the planned devices, written to the file.
#   2. no options: the upgrade is pending, so the flash tool runs once.
# Each run prints its console output, its exit code and the component log;
# the first also the self-discovery file.
# Needs root: the program runs in a private mount namespace, so the host's
# own /etc, /usr, /var and /sys are never touched.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "demo: needs root (it installs packages and mounts in a private namespace); run: sudo $0" >&2
  exit 1
fi
"$top/tools/deps.sh"
build="$top/build-demo"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRN_SANITIZE=OFF \
  -DZRN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" \
  --target KTXXXXXX.tolux zrn-sim fchba_standin fchba_standin_ext zrn_mgmt_standin >/dev/null
program="$build/core/KTXXXXXX.tolux"
libraries=(
  --copy "/usr/lib/libqlsdm.so=$build/tests/standin/libfchba_standin_ext.so"
  --copy "/usr/lib64/libfchba_emx.so=$build/tests/standin/libfchba_standin.so"
  --copy "/usr/lib64/libemsdm.so=$build/tests/standin/mgmt/libzrn_mgmt_standin.so"
)
run() {
  set +e
  "$build/tests/sim/zrn-sim" "${libraries[@]}" "$@"
  code=$?
  set -e
  # zrn-sim passes the program's exit code through; 125 means the machine
  # could not be set up, 124 a run that timed out.
  if [ "$code" -eq 125 ] || [ "$code" -eq 124 ]; then exit "$code"; fi
}
echo "Running: KTXXXXXX.tolux /d discovery.xml  (simulated machine: tools/demo/)"
run --show discovery.xml "$top/tools/demo" "$program" /d discovery.xml
echo
echo "Running: KTXXXXXX.tolux  (the same machine: the pending upgrade is flashed)"
run "$top/tools/demo" "$program"
exit 0
