# Sourced by the scripts that run the programs: installs the Debian packages and builds the
# `default` preset, unless KX_DEMO_BIN_DIR names an existing build's bin folder; sets `bin` to the
# folder of the programs. Run from the root of the checkout.
if [[ -z "${KX_DEMO_BIN_DIR:-}" ]]; then
  bash scripts/install-deps.sh
  cmake --preset default >/dev/null
  cmake --build --preset default
fi
bin="${KX_DEMO_BIN_DIR:-$PWD/build/default/bin}"
