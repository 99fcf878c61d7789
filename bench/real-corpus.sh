#!/usr/bin/env bash
# Fetches a corpus of real PDFs: the documentation that Debian packages ship.
# Downloads each package of the list below with `apt-get download`, unpacks
# it with `dpkg-deb -x` (nothing is installed), and copies the PDFs into one
# flat folder under names "package__path" (folders joined with "_"), with a
# manifest of what each file is (producer, pages, version, encryption, file
# structure, Japanese or not). Everything lands OUTSIDE the repository: the
# PDFs belong to their authors and are never committed.
#
# Usage: bench/real-corpus.sh [DIR]        (DIR: $REAL_CORPUS or /work/corpus)
#   DIR/debs/      the downloaded packages (kept: a second run downloads nothing)
#   DIR/extract/   the unpacked packages
#   DIR/pdf/       the corpus, flat
#   DIR/manifest.tsv
# Knobs (environment): REAL_MAX_PAGES (300) and REAL_MAX_MB (30) leave out
# larger files, so that a whole measurement runs in a few minutes.
# Needs apt-get, dpkg-deb, poppler-utils (pdfinfo, pdftotext), python3.
set -euo pipefail

DIR=${1:-${REAL_CORPUS:-/work/corpus}}
MAX_PAGES=${REAL_MAX_PAGES:-300}
MAX_MB=${REAL_MAX_MB:-30}
ROOT=$(cd "$(dirname "$0")/.." && pwd)

# The packages, each with the most PDFs taken from it (so that no single
# package dominates). Chosen for the variety of the programs that made their
# PDFs: pdfTeX, LuaTeX and XeTeX manuals; Japanese documents from pLaTeX and
# upLaTeX through dvipdfmx and from LuaTeX-ja; Chinese and Korean ones;
# office programs, Ghostscript, FOP, DocBook tool chains, PDF libraries.
PACKAGES="
texlive-lang-japanese 110
texlive-lang-cjk 40
texlive-lang-chinese 30
texlive-lang-korean 20
texlive-latex-base-doc 40
texlive-latex-recommended-doc 40
texlive-fonts-recommended-doc 20
texlive-metapost-doc 25
texlive-humanities-doc 30
texlive-science-doc 30
texlive-luatex 40
texlive-xetex 30
texlive-lang-other 20
context-modules 15
debian-reference-ja 5
debian-edu-doc-ja 5
debian-edu-doc-legacy-ja 5
maint-guide-ja 5
developers-reference-ja 5
packaging-tutorial 12
debmake-doc 6
chasen 5
ipadic-common 5
auto-multiple-choice-doc-pdf 7
fonts-lxgw-wenkai-doc 5
simh 40
eyes17 20
expeyes 8
expeyes-doc-en 5
labplot-data 15
libreoffice-common 5
jverein 5
erlang-doc 20
fop-doc 5
python-reportlab-doc 5
php-tcpdf 10
golang-github-jung-kurt-gofpdf-dev 15
cups-filters 10
ippsample-data 5
printer-driver-foo2zjs-common 5
ghostscript-doc 5
gutenprint-doc 5
ettercap-common 6
fuzzylite 10
libsystemc-doc 12
eigensoft 5
docbook-dsssl 10
systemtap-doc 5
doxygen-doc 5
dicomscope-doc 5
libemf-doc 5
mrbayes-doc 5
rasmol-doc 5
glpk-doc 6
gretl-doc 5
king 6
slurm-wlm-doc 5
nut-doc 6
scolasync 5
asymptote-doc 10
microhope 5
gnuplot-doc 5
mcu8051ide 5
xfig-doc 5
paperwork-gtk 6
texworks-help-en 5
live-manual-pdf 12
gle-graphics-manual 5
k3b-data 5
therion-doc 15
zoneminder 5
pari-doc 12
octave-doc 5
r-doc-pdf 10
r-cran-hsaur3 10
jmeter-help 10
forensics-samples-files 10
clamav-testfiles 5
libimage-exiftool-perl 5
linuxcnc-doc-en 5
gnumed-server 5
"

say() { printf '%s\n' "$*" >&2; }
for tool in apt-get dpkg-deb pdfinfo pdftotext python3; do
  command -v "$tool" >/dev/null || { say "missing: $tool (poppler-utils, python3)"; exit 2; }
done
case "$DIR" in "$ROOT"|"$ROOT"/*) say "the corpus must lie outside the repository: $DIR"; exit 2 ;; esac

mkdir -p "$DIR/debs" "$DIR/extract" "$DIR/pdf"
DIR=$(cd "$DIR" && pwd)

# --- download and unpack --------------------------------------------------
echo "$PACKAGES" | while read -r pkg cap; do
  [ -n "$pkg" ] || continue
  if ! ls "$DIR/debs/${pkg}"_*.deb >/dev/null 2>&1; then
    say "download $pkg"
    (cd "$DIR/debs" && apt-get download -q "$pkg" >/dev/null 2>&1) || { say "  not found: $pkg (skipped)"; continue; }
  fi
  if [ ! -d "$DIR/extract/$pkg" ]; then
    deb=$(ls "$DIR/debs/${pkg}"_*.deb | sort | tail -n 1)
    mkdir -p "$DIR/extract/$pkg.tmp"
    dpkg-deb -x "$deb" "$DIR/extract/$pkg.tmp"
    mv "$DIR/extract/$pkg.tmp" "$DIR/extract/$pkg"
  fi
done

# --- select, copy, describe -------------------------------------------------
PACKAGES=$PACKAGES MAX_PAGES=$MAX_PAGES MAX_MB=$MAX_MB python3 - "$DIR" <<'EOF'
import hashlib, os, re, subprocess, sys

root = sys.argv[1]
max_pages = int(os.environ["MAX_PAGES"]); max_bytes = int(float(os.environ["MAX_MB"]) * 1024 * 1024)
packages = [l.split() for l in os.environ["PACKAGES"].splitlines() if l.strip()]
out = os.path.join(root, "pdf")
os.makedirs(os.path.join(root, "ref"), exist_ok=True)

def info(path):
    r = subprocess.run(["pdfinfo", path], capture_output=True, timeout=60)
    if r.returncode != 0:
        # A file that needs a password stays in: refusing it is the expected outcome.
        if b"password" in r.stderr.lower():
            return {"Encrypted": "yes (password)", "Pages": "0"}
        return None
    d = {}
    for line in r.stdout.decode("utf-8", "replace").splitlines():
        k, _, v = line.partition(":")
        d[k.strip()] = v.strip()
    return d

def producer_class(producer, creator):
    both = (producer + " | " + creator).lower()
    rules = [(("libreoffice", "openoffice", "staroffice", "microsoft", "word", "powerpoint", "excel"), "office"),
             (("xdvipdfmx", "xetex"), "xetex"), (("dvipdfm",), "dvipdfmx"), (("luatex", "luametatex"), "luatex"),
             (("pdftex", "pdfetex", "pdflatex"), "pdftex"), (("ghostscript",), "ghostscript"),
             (("acrobat", "distiller"), "distiller"), (("fop",), "fop"), (("gropdf", "groff"), "groff"),
             (("reportlab",), "reportlab"), (("cairo",), "cairo"), (("tcpdf",), "tcpdf"), (("fpdf",), "fpdf"),
             (("quartz",), "quartz"), (("prawn",), "prawn"), (("qt ",), "qt"), (("skia",), "skia")]
    for needles, cls in rules:
        if any(n in both for n in needles):
            return cls
    if producer.startswith("R ") or producer == "R":
        return "r"
    return "other" if producer or creator else "unknown"

def structure(path):
    with open(path, "rb") as f:
        data = f.read()
    xref_stream = bool(re.search(rb"/Type\s*/XRef\b", data))
    obj_streams = bool(re.search(rb"/Type\s*/ObjStm\b", data))
    return xref_stream, obj_streams

KANA = re.compile(r"[\u3041-\u309f\u30a0-\u30ff\uff66-\uff9f]")
HAN = re.compile(r"[\u4e00-\u9fff\u3400-\u4dbf]")

def script_counts(path, name):
    # The same cache bench/real-measure.py keeps its references in.
    ref = os.path.join(root, "ref", name[:-4] + ".txt")
    if not os.path.exists(ref) or os.path.getmtime(ref) < os.path.getmtime(path):
        try:
            r = subprocess.run(["pdftotext", "-q", "-enc", "UTF-8", path, "-"], capture_output=True, timeout=300)
            data = r.stdout
        except subprocess.TimeoutExpired:
            data = b""
        with open(ref + ".tmp", "wb") as f:
            f.write(data)
        os.replace(ref + ".tmp", ref)
    with open(ref, "rb") as f:
        t = f.read().decode("utf-8", "replace")
    return len(KANA.findall(t)), len(HAN.findall(t)), sum(1 for ch in t if not ch.isspace())

seen = set()
rows = []
for pkg, cap in packages:
    base = os.path.join(root, "extract", pkg)
    if not os.path.isdir(base):
        continue
    found = []
    for d, _, files in os.walk(base):
        for name in files:
            p = os.path.join(d, name)
            if name.lower().endswith(".pdf") and os.path.isfile(p) and not os.path.islink(p):
                found.append(p)
    found.sort()
    usable = []
    for p in found:
        size = os.path.getsize(p)
        if size == 0 or size > max_bytes:
            continue
        with open(p, "rb") as f:
            digest = hashlib.sha1(f.read()).hexdigest()
        if digest in seen:
            continue
        i = info(p)
        if i is None:
            continue
        try:
            pages = int(i.get("Pages", "0"))
        except ValueError:
            continue
        if (pages < 1 and "password" not in i["Encrypted"]) or pages > max_pages:
            continue
        seen.add(digest)
        usable.append((p, i, pages))
    # Evenly spaced over the sorted list, so that a capped package still
    # contributes from all its folders.
    cap = int(cap)
    if len(usable) > cap:
        usable = [usable[(k * len(usable)) // cap] for k in range(cap)]
    for p, i, pages in usable:
        rel = os.path.relpath(p, base)
        rel = re.sub(r"^usr/share/(doc/)?", "", rel)
        name = pkg + "__" + re.sub(r"[^A-Za-z0-9._+-]", "_", rel.replace("/", "_"))
        name = name[:-4] + ".pdf"
        dest = os.path.join(out, name)
        if not os.path.exists(dest):
            with open(p, "rb") as src, open(dest, "wb") as dst:
                dst.write(src.read())
        xs, os_ = structure(dest)
        kana, han, chars = script_counts(dest, name)
        producer = i.get("Producer", "").replace("\t", " ")
        creator = i.get("Creator", "").replace("\t", " ")
        rows.append([name, pkg, producer_class(producer, creator), producer, creator, str(pages),
                     i.get("PDF version", ""), "password" if "password" in i.get("Encrypted", "") else
                     "yes" if i.get("Encrypted", "no").startswith("yes") else "no",
                     "yes" if xs else "no", "yes" if os_ else "no",
                     "yes" if kana >= 20 else "no", "yes" if han >= 50 else "no", str(chars),
                     str(os.path.getsize(dest))])
    print(f"{pkg}: {len(usable)} of {len(found)} PDFs", file=sys.stderr)

keep = {r[0] for r in rows}
for name in os.listdir(out):   # files of an earlier selection that no longer qualify
    if name not in keep:
        os.remove(os.path.join(out, name))
header = ["file", "package", "class", "producer", "creator", "pages", "pdf_version", "encrypted",
          "xref_stream", "object_streams", "japanese", "han", "ref_chars", "bytes"]
with open(os.path.join(root, "manifest.tsv"), "w", encoding="utf-8") as f:
    f.write("\t".join(header) + "\n")
    for r in sorted(rows):
        f.write("\t".join(r) + "\n")

def count(key):
    c = {}
    for r in rows:
        c[key(r)] = c.get(key(r), 0) + 1
    return ", ".join(f"{k} {v}" for k, v in sorted(c.items(), key=lambda kv: -kv[1]))
print(f"{len(rows)} PDFs in {out}", file=sys.stderr)
print(f"by producer: {count(lambda r: r[2])}", file=sys.stderr)
print(f"Japanese {sum(r[10] == 'yes' for r in rows)}, with Han characters {sum(r[11] == 'yes' for r in rows)}, "
      f"xref streams {sum(r[8] == 'yes' for r in rows)}, object streams {sum(r[9] == 'yes' for r in rows)}, "
      f"encrypted {sum(r[7] != 'no' for r in rows)} (needing a password {sum(r[7] == 'password' for r in rows)}), no text {sum(int(r[12]) < 20 for r in rows)}", file=sys.stderr)
EOF
