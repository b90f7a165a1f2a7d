#!/usr/bin/env bash
# Builds the extension and its tests and runs them under Wine in a virtual
# X display. Installs what is missing first. Exits non-zero on any failure.
# Extra arguments go to ctest (for example -R lang).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
ombrelo_install
ombrelo_build i686
ombrelo_in_display ctest --test-dir "$ROOT/build/i686" --output-on-failure "$@"
