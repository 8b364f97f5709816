#!/usr/bin/env bash
# Starts the local CUPS server and makes sure its two queues exist:
#   PDF  - the default printer; every document lands as a PDF in ~/PDF
#   Null - a second printer that throws its output away (soak runs, printer switches)
# Idempotent: a running server and existing queues are left as they are.
set -euo pipefail

ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
conf=/etc/cups/cups-files.conf
restart=0

# The Null queue writes to /dev/null through the file: backend, which CUPS
# refuses unless FileDevice is allowed.
if ! grep -q '^FileDevice Yes' "$conf"; then
  echo 'FileDevice Yes' >> "$conf"
  restart=1
fi

running() { lpstat -r 2>/dev/null | grep -q 'is running'; }

if running && [ "$restart" -eq 1 ]; then
  pkill -x cupsd || true
  for _ in $(seq 50); do running || break; sleep 0.1; done
fi
if ! running; then
  /usr/sbin/cupsd
  for _ in $(seq 100); do running && break; sleep 0.1; done
fi
running || { echo "printers: cupsd did not start" >&2; exit 1; }

if ! lpstat -p PDF >/dev/null 2>&1; then
  lpadmin -p PDF -E -v cups-pdf:/ -P "$ppd"
fi
if ! lpstat -p Null >/dev/null 2>&1; then
  lpadmin -p Null -E -v file:/dev/null -P "$ppd"
fi
if [ "$(lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')" != PDF ]; then
  lpadmin -d PDF
fi
echo "printers: $(lpstat -p | awk '{print $2}' | paste -sd' ') (default $(lpstat -d | awk '{print $NF}'))"
