#!/usr/bin/env python3
"""Judges quorv-pdf2ofd's packages by an independent reader: ofd.js in headless Chromium
renders each OFD page, which must look like the same PDF page rendered by pdftoppm, and the
text of its text objects must be pdftotext's text of that page.

usage: check_ofdjs.py TOOL WORKDIR"""
import hashlib
import html
import os
import re
import shutil
import subprocess
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
# ofd.js draws SCALE pixels per millimetre (it rounds its scale to a tenth); pdftoppm the same.
SCALE = 3.8
DPI = SCALE * 25.4
# Chromium and poppler smooth glyph edges differently, so the same page differs by about
# 1 % of full scale pixel by pixel, most of it at glyph edges: the pixel difference must stay
# under 3 %. Averaged over blocks of about a millimetre the edges cancel out, while a page
# that lost a line of text, a shape or its picture, or shows them shifted, keeps its
# difference: that must stay under a third of the page's ink (what a blank page scores).
MAX_MAD = 0.03
MAX_SHARE_OF_INK = 1 / 3

FONTS_CONF = """<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><include ignore_missing="yes">/etc/fonts/fonts.conf</include>
<dir>/usr/share/texlive/texmf-dist/fonts/opentype/public/fandol</dir>
<alias binding="strong"><family>楷体</family><prefer><family>LXGW WenKai</family></prefer></alias>
<alias binding="strong"><family>KaiTi</family><prefer><family>LXGW WenKai</family></prefer></alias>
<alias binding="strong"><family>Kai</family><prefer><family>LXGW WenKai</family></prefer></alias>
</fontconfig>
"""


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def node_modules(work):
    """ofd.js and playwright-core as the lock file pins them, installed once per lock."""
    lock = os.path.join(HERE, "ofdjs", "package-lock.json")
    digest = hashlib.sha256(open(lock, "rb").read()).hexdigest()[:16]
    root = os.path.join(work, "ofdjs-" + digest)
    if not os.path.isdir(os.path.join(root, "node_modules", "ofd.js")):
        os.makedirs(root, exist_ok=True)
        for name in ("package.json", "package-lock.json"):
            shutil.copy(os.path.join(HERE, "ofdjs", name), root)
        subprocess.run(["npm", "ci", "--no-audit", "--no-fund", "--ignore-scripts"], cwd=root, check=True,
                       stdout=subprocess.DEVNULL, timeout=600)
    return os.path.join(root, "node_modules")


def ofd_page_texts(path):
    with zipfile.ZipFile(path) as z:
        names = sorted((n for n in z.namelist() if re.fullmatch(r"Doc_0/Pages/Page_\d+/Content.xml", n)),
                       key=lambda n: int(re.search(r"Page_(\d+)", n).group(1)))
        texts = []
        for n in names:
            xml = z.read(n).decode("utf-8")
            texts.append("".join(html.unescape(t) for t in re.findall(r"<ofd:TextCode[^>]*>([^<]*)<", xml)))
        return texts, z.read("Doc_0/Document.xml").decode("utf-8"), z.read("OFD.xml").decode("utf-8")


def squeeze(text):
    return re.sub(r"\s+", "", text)


def main():
    tool, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    # The tool runs with the system's own fontconfig settings: it must find the faces the
    # office was given (FandolFang lives where fontconfig does not look) by itself.
    tool_env = dict(os.environ)
    conf = os.path.join(work, "fonts.conf")
    with open(conf, "w", encoding="utf-8") as f:
        f.write(FONTS_CONF)
    env = dict(os.environ, FONTCONFIG_FILE=conf)
    os.environ["FONTCONFIG_FILE"] = conf
    modules = node_modules(work)

    pdfs = os.path.join(work, "pdfs")
    shutil.rmtree(pdfs, ignore_errors=True)
    subprocess.run([sys.executable, os.path.join(HERE, "make_pdfs.py"), pdfs], check=True, env=env, timeout=600)
    pdf = os.path.join(pdfs, "mixed.pdf")
    ofd = os.path.join(pdfs, "mixed.ofd")
    run = subprocess.run([tool, pdf, "-o", ofd], env=tool_env, capture_output=True, text=True, timeout=300)
    if run.returncode != 0:
        fail(f"quorv-pdf2ofd failed: {run.stderr}")
    with zipfile.ZipFile(ofd) as z:
        fonts = re.findall(r"<ofd:Font [^>]*FontName=\"([^\"]*)\"[^>]*>(<ofd:FontFile>)?",
                           z.read("Doc_0/PublicRes.xml").decode("utf-8"))
    if not any(name.startswith("FandolFang") for name, _ in fonts):
        fail(f"no FangSong face among the package's fonts {fonts}")
    missing = [name for name, file in fonts if not file]
    if missing:
        fail(f"faces named but not embedded: {missing}")

    subprocess.run(["pdftoppm", "-r", str(DPI), "-png", pdf, os.path.join(pdfs, "pdf")], check=True)
    pages = sorted((p for p in os.listdir(pdfs) if re.fullmatch(r"pdf-\d+\.png", p)),
                   key=lambda p: int(re.search(r"\d+", p).group()))
    refs = [os.path.join(pdfs, p) for p in pages]
    out = subprocess.run(["node", os.path.join(HERE, "render_ofd.js"), ofd, str(SCALE), os.path.join(pdfs, "ofd")]
                         + refs, env=dict(env, NODE_PATH=modules), capture_output=True, text=True, timeout=600)
    print(out.stdout, end="")
    if out.returncode != 0:
        fail("ofd.js could not render the package: " + out.stderr)
    if f"pages {len(refs)}" not in out.stdout:
        fail(f"ofd.js shows a different page count than the PDF's {len(refs)}")
    for line in out.stdout.splitlines():
        m = re.match(r"page (\d+) mad ([\d.]+) block ([\d.]+) ink ([\d.]+) ofd (\d+x\d+) pdf (\d+x\d+)", line)
        if not m:
            continue
        page, mad, block, ink = int(m.group(1)), float(m.group(2)), float(m.group(3)), float(m.group(4))
        if m.group(5) != m.group(6):
            fail(f"page {page}: ofd.js draws {m.group(5)} pixels, the PDF is {m.group(6)}")
        if mad > MAX_MAD or block > MAX_SHARE_OF_INK * ink:
            fail(f"page {page} looks different from the PDF: difference {mad:.4f}, "
                 f"by blocks {block:.4f}, ink {ink:.4f}")

    texts, document, info = ofd_page_texts(ofd)
    if len(texts) != len(refs):
        fail(f"{len(texts)} OFD pages for {len(refs)} PDF pages")
    for i, text in enumerate(texts, 1):
        expected = subprocess.run(["pdftotext", "-f", str(i), "-l", str(i), "-enc", "UTF-8", pdf, "-"],
                                  capture_output=True, text=True, check=True).stdout
        if squeeze(text) != squeeze(expected):
            fail(f"page {i} text differs:\n OFD: {squeeze(text)}\n PDF: {squeeze(expected)}")

    titles = re.findall(r'<ofd:OutlineElem Title="([^"]*)"', document)
    if titles[:3] != ["第一章 字体", "Chapter two: tables", "第三章 小页面"]:
        fail(f"outline is {titles}")
    if "<ofd:Title>版式文档测试</ofd:Title>" not in info or "<ofd:Author>张三</ofd:Author>" not in info:
        fail("document information lost: " + info)
    print(f"OK: {len(refs)} pages look like the PDF and carry its text")


if __name__ == "__main__":
    main()
