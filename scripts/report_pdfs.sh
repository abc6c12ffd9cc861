#!/usr/bin/env bash
# Prints the diagnostics report and the configuration report of the simulated
# steam meter into PDF files, through the same printing code as the print
# dialog's printer, and renders their first pages to PNG:
# docs/reports/{diagnostics,configuration-report}{.pdf,-1.png}. BUILD_DIR as for build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v pdftoppm >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: poppler-utils"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends poppler-utils
fi
bash scripts/setup.sh
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
out=docs/reports
mkdir -p "$out"
CORVANE_REPORT_PDF_DIR="$PWD/$out" QT_QPA_PLATFORM=offscreen \
  "$BUILD_DIR/test_app" --gtest_filter='Reports.PrintedReportsArePdfPagesInAFixedFont'
for report in diagnostics configuration-report; do
  pdftoppm -png -r 72 -f 1 -l 1 "$out/$report.pdf" "$out/$report"
  ls "$out/$report"*.png
done
