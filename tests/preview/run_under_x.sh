#!/usr/bin/env bash
# Runs a test executable in an X server of its own: the live preview's engine needs a display.
# Usage: run_under_x.sh TEST [ARGUMENTS]
set -euo pipefail
source "$(dirname "$0")/../e2e/x_session.sh"
"$@"
