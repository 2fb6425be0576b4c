#!/usr/bin/env bash
# Starts the print server with a PDF printer "PDF" (cups-pdf) as the default printer, so
# that the printing tests print for real. Run as root. Idempotent: a running server and an
# existing queue are left as they are. There is no systemd in CI, so cupsd is started
# directly. Needs the packages cups and printer-driver-cups-pdf (scripts/install-deps.sh).
set -euo pipefail

queue=PDF

if [ "$(id -u)" -ne 0 ]; then
  echo "start-print-server: run as root" >&2
  exit 1
fi
for tool in cupsd lpadmin lpstat cupsenable cupsaccept; do
  if ! command -v "$tool" >/dev/null 2>&1 && [ ! -x "/usr/sbin/$tool" ]; then
    echo "start-print-server: $tool is missing; install cups (scripts/install-deps.sh)" >&2
    exit 1
  fi
done
export PATH="$PATH:/usr/sbin"
if [ ! -x /usr/lib/cups/backend/cups-pdf ]; then
  echo "start-print-server: the cups-pdf backend is missing; install printer-driver-cups-pdf" >&2
  exit 1
fi

running() { lpstat -r 2>/dev/null | grep -q "is running"; }

if ! running; then
  mkdir -p /run/cups /var/spool/cups /var/cache/cups /var/log/cups
  # Without arguments cupsd detaches itself and keeps running after this script ends.
  cupsd
  for _ in $(seq 1 100); do
    running && break
    sleep 0.1
  done
  if ! running; then
    echo "start-print-server: cupsd did not start (see /var/log/cups/error_log)" >&2
    exit 1
  fi
fi

if ! lpstat -p "$queue" >/dev/null 2>&1; then
  ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd
  [ -f "$ppd" ] || ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
  # lpadmin warns that printer drivers are deprecated; the PDF queue still needs one.
  lpadmin -p "$queue" -v cups-pdf:/ -P "$ppd" -E 2>/dev/null
fi
# The queue's driver takes PostScript; the default PDF-to-PostScript step turns the fonts
# into outlines, so the PDF files lost their text. Cairo's conversion keeps it.
lpadmin -p "$queue" -o pdftops-renderer-default=pdftocairo
cupsenable "$queue"
cupsaccept "$queue"
lpadmin -d "$queue"

# Where the PDF files of a root job land (cups-pdf's "Out" setting).
out=$(sed -n 's/^[[:space:]]*Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -n 1)
echo "print server running; default printer $queue; PDF files go to ${out:-\$HOME/PDF} (for root: ${out//\$\{HOME\}/$(getent passwd root | cut -d: -f6)})"
