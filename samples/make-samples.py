#!/usr/bin/env python3
"""Writes the sample PDFs of this folder. Japanese text is set as CIDs of the
Adobe-Japan1 collection (a Type0 font with Identity-H), the way Japanese PDFs
usually carry it; the CIDs are looked up in the Adobe-Japan1-UCS2 CMap of
Debian's poppler-data."""
import os
import re
import zlib

CMAP = "/usr/share/poppler/cMap/Adobe-Japan1/Adobe-Japan1-UCS2"
HERE = os.path.dirname(os.path.abspath(__file__))


def cid_of():
    table = {}
    mode = None
    for line in open(CMAP, encoding="latin-1"):
        line = line.strip()
        if line.endswith("beginbfchar"):
            mode = "char"
        elif line.endswith("beginbfrange"):
            mode = "range"
        elif line.startswith("endbf"):
            mode = None
        elif mode:
            hexes = re.findall(r"<([0-9a-fA-F]+)>", line)
            if mode == "char" and len(hexes) == 2 and len(hexes[1]) == 4:
                table.setdefault(chr(int(hexes[1], 16)), int(hexes[0], 16))
            elif mode == "range" and len(hexes) == 3 and len(hexes[2]) == 4:
                first, last, base = (int(h, 16) for h in hexes)
                for i in range(last - first + 1):
                    table.setdefault(chr(base + i), first + i)
    return table


CIDS = cid_of()


def hexstr(text):
    return "<" + "".join("%04X" % CIDS[c] for c in text) + ">"


def pdf(pages, deflate=False, japanese=False):
    """pages: list of content streams (bytes). Returns the file's bytes."""
    objs = {}
    font = 3 + 2 * len(pages)
    objs[1] = b"<< /Type /Catalog /Pages 2 0 R >>"
    kids = " ".join("%d 0 R" % (3 + 2 * i) for i in range(len(pages)))
    objs[2] = ("<< /Type /Pages /Kids [%s] /Count %d >>" % (kids, len(pages))).encode()
    for i, content in enumerate(pages):
        objs[3 + 2 * i] = ("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
                           "/Resources << /Font << /F1 %d 0 R >> >> /Contents %d 0 R >>" % (font, 4 + 2 * i)).encode()
        data = zlib.compress(content) if deflate else content
        filt = b" /Filter /FlateDecode" if deflate else b""
        objs[4 + 2 * i] = b"<< /Length %d%s >>\nstream\n" % (len(data), filt) + data + b"\nendstream"
    if japanese:
        objs[font] = ("<< /Type /Font /Subtype /Type0 /BaseFont /Ryumin-Light /Encoding /Identity-H "
                      "/DescendantFonts [%d 0 R] >>" % (font + 1)).encode()
        objs[font + 1] = (b"<< /Type /Font /Subtype /CIDFontType0 /BaseFont /Ryumin-Light "
                          b"/CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) /Supplement 4 >> "
                          b"/FontDescriptor << /Type /FontDescriptor /FontName /Ryumin-Light /Flags 6 "
                          b"/FontBBox [0 -141 1000 859] /ItalicAngle 0 /Ascent 859 /Descent -141 "
                          b"/CapHeight 700 /StemV 80 >> >>")
    else:
        objs[font] = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for n in sorted(objs):
        offsets[n] = len(out)
        out += b"%d 0 obj\n" % n + objs[n] + b"\nendobj\n"
    xref = len(out)
    size = max(objs) + 1
    out += b"xref\n0 %d\n0000000000 65535 f \n" % size
    for n in range(1, size):
        out += b"%010d 00000 n \n" % offsets[n]
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (size, xref)
    return bytes(out)


def latin(lines):
    body = "BT\n/F1 12 Tf\n"
    y = 780
    for line in lines:
        body += "1 0 0 1 56 %d Tm\n(%s) Tj\n" % (y, line.replace("(", "\\(").replace(")", "\\)"))
        y -= 16
    return (body + "ET\n").encode()


def japanese(lines):
    body = "BT\n/F1 12 Tf\n"
    y = 780
    for line in lines:
        body += "1 0 0 1 56 %d Tm\n%s Tj\n" % (y, hexstr(line))
        y -= 18
    return (body + "ET\n").encode()


def write(name, data):
    path = os.path.join(HERE, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


write("welcome.pdf", pdf([
    latin(["Welcome to Scrivlet.", "Every PDF in a folder gets a text file beside it."]),
    latin(["Page two: headers and footers frame each page.", "Done."]),
]))
write("japanese.pdf", pdf([
    japanese(["こんにちは、世界。", "ＰＤＦファイルからテキストを抽出します。"]),
    japanese(["二ページ目です。", "漢字、ひらがな、カタカナ。"]),
], deflate=True, japanese=True))
write("reports/quarterly-report.pdf", pdf([
    latin(["Quarterly report", "Sales rose by 12% (see table 3)."]),
    japanese(["売上は前期比で増加しました。"]),
], deflate=True, japanese=True))
good = pdf([latin(["This file was cut short."])])
write("damaged.pdf", good[: len(good) * 2 // 3])
