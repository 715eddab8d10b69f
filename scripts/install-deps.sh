#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the programs need.
# Idempotent: packages already present are skipped, so running it again is cheap.
set -euo pipefail

# The full Writer, Calc and Impress packages, not their -nogui variants: those leave out the dialog
# descriptions that a loaded document's view builds its comment margin and field controls
# from even when headless, and LibreOffice aborts on the first document that needs one.
packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n libx11-dev
  libreoffice-writer libreoffice-calc libreoffice-impress libreoffice-dev
  ghostscript poppler-utils libpoppler-cpp-dev zlib1g-dev libxlsxwriter-dev
  poppler-data
  # A private X server and key presses for the global Escape test; file(1) for the .deb.
  xvfb xdotool file
  # GNU parallel runs the shares of quorvbatch in its tests and README recipes.
  parallel
  # qpdf lists a PDF's objects for the tests' PDF/A checks.
  qpdf
  # The sandbox of every office instance: no network, only the files a conversion needs.
  bubblewrap
  libgtest-dev libgmock-dev
  # LibreOffice's Python bridge and AES, to make the password-protected test documents.
  python3-uno python3-cryptography
  fonts-noto-cjk fonts-liberation fontconfig libfontconfig-dev
  # Stand-ins for the typefaces documents ask for: Carlito and Caladea for Calibri and
  # Cambria, LXGW WenKai for Kai, and the Fandol FangSong face inside TeX Live's Chinese.
  fonts-crosextra-carlito fonts-crosextra-caladea fonts-lxgw-wenkai texlive-lang-chinese
  # quorv-pdf2ofd reads PDFs with poppler's core API and subsets fonts with HarfBuzz.
  libpoppler-private-dev libharfbuzz-dev
  # PDF outputs are encrypted (AES-256), watermarked and merged with qpdf's library.
  libqpdf-dev
  # The OFD check renders packages with ofd.js (from npm, pinned) in headless Chromium.
  chromium
)
# node and npm for that check, unless a node with its npm is installed already.
if ! command -v npm >/dev/null 2>&1; then
  packages+=(nodejs npm)
fi

# The fuzz targets need clang and its libFuzzer runtime.
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
