# Sourced by the screenshot scripts: installs a virtual X server when the
# machine has none.
if ! command -v xvfb-run >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: xvfb"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends xvfb xauth
fi
