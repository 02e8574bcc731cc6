#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool with its built-in
# virtual transmitter.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
exec build/txconfig-demo
