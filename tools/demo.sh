#!/usr/bin/env bash
# Installs what is missing, builds the program (without sanitizers) and the
# stand-in vendor libraries into build-demo/, and runs the program's main
# job, "/d discovery.xml", on the simulated machine laid out from tools/demo/
# (a package directory with reference.xml, an /etc/hba.conf listing a QLogic
# and an Emulex FC-HBA library, their stand-ins' scenarios, a stand-in
# Emulex management library and a sysfs tree with the three adapters' PCI
# functions). Prints the console output, the exit code, the component log
# and the self-discovery file it wrote.
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
echo "Running: KTXXXXXX.tolux /d discovery.xml  (simulated machine: tools/demo/)"
set +e
"$build/tests/sim/zrn-sim" \
  --copy "/usr/lib/libqlsdm.so=$build/tests/standin/libfchba_standin_ext.so" \
  --copy "/usr/lib64/libfchba_emx.so=$build/tests/standin/libfchba_standin.so" \
  --copy "/usr/lib64/libemsdm.so=$build/tests/standin/mgmt/libzrn_mgmt_standin.so" \
  --show discovery.xml "$top/tools/demo" "$program" /d discovery.xml
code=$?
set -e
# zrn-sim passes the program's exit code through; 125 means the machine
# could not be set up, 124 a run that timed out.
if [ "$code" -eq 125 ] || [ "$code" -eq 124 ]; then exit "$code"; fi
exit 0
