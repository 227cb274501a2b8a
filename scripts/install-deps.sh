#!/bin/sh
# Installs the Debian packages listed in debian-packages.txt that are not installed yet.
# Does nothing when all are present; uses sudo only when not already root.
set -eu

list="$(dirname "$0")/debian-packages.txt"
missing=""
for package in $(sed -e 's/#.*//' "$list"); do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $package" ;;
    esac
done

[ -z "$missing" ] && exit 0

echo "Installing missing Debian packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
else
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
