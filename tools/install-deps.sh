#!/usr/bin/env bash
# Installs the Debian packages listed in tools/packages.txt.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
pkgs=$(grep -v '^#' "$here/packages.txt" | grep -v '^$' | tr '\n' ' ')
sudo=""
if [ "$(id -u)" != 0 ]; then sudo=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $pkgs
