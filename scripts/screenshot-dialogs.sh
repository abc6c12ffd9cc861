#!/usr/bin/env bash
# Takes a screenshot of each configuration dialog, and of the diagnostics and
# configuration report windows after a Read, opened on the simulated meter,
# under a virtual X server: docs/<dialog>.png. BUILD_DIR as for build.sh.
# The gas insertion meter has every option (sensors, display, totalizer); the
# totalizer settings need software revision 18, which the steam meter has.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb.sh
bash scripts/setup.sh
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
mkdir -p docs
shoot() {  # profile dialog...
  local profile="sim/profiles/$1.profile"
  shift
  for form in "$@"; do
    xvfb-run -a "$BUILD_DIR/corvane-hart" --sim "$profile" --form "$form" --screenshot "docs/$form.png"
    echo "docs/$form.png"
  done
}
shoot gas_insertion frmDampingValue frmKFactor frmPipeID frmLowFlowCutoff frmAnalogRangeValues frmPrimaryVariable \
  frmHARTInterface frmBurstMode frmLCDDisplay frmAlarmSelection frmPulseOutput \
  frmProcessTemperature frmProcessPressure frmDensityAndViscosity frmStandardFlow
shoot steam frmTotalizerSettings frmDiagnostics frmConfigReport
