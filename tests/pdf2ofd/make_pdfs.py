#!/usr/bin/env python3
"""Makes the PDFs the OFD checks convert: LibreOffice documents with Chinese text in the
Song, Hei, FangSong and Kai stand-ins, Latin text, a bordered table, a filled shape, a
photograph, bookmarks, document information and pages of several sizes, one landscape.

usage: make_pdfs.py OUTDIR   (writes OUTDIR/*.pdf; needs soffice)"""
import base64
import math
import os
import struct
import subprocess
import sys
import zlib

FACES = [("宋体", "Noto Serif CJK SC"), ("黑体", "Noto Sans CJK SC"),
         ("仿宋", "FandolFang R"), ("楷体", "LXGW WenKai")]


def photo_png(w=320, h=200):
    """A smooth picture with detail, so that LibreOffice stores it as a JPEG."""
    rows = []
    for y in range(h):
        row = bytearray([0])
        for x in range(w):
            r = int(128 + 100 * math.sin(x / 23.0) * math.cos(y / 31.0))
            g = int(110 + 90 * math.sin((x + y) / 41.0))
            b = int(140 + 80 * math.cos(math.hypot(x - 160, y - 90) / 17.0))
            row += bytes((max(0, min(255, r)), max(0, min(255, g)), max(0, min(255, b))))
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(
            ">I", zlib.crc32(kind + data) & 0xffffffff)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))


def fodt(pages, title, author):
    """A flat ODF text document; `pages` is a list of (page style, body XML)."""
    styles = {
        "A4": ("21cm", "29.7cm", "portrait"),
        "A5": ("14.8cm", "21cm", "portrait"),
        "A4L": ("29.7cm", "21cm", "landscape"),
        "Letter": ("21.59cm", "27.94cm", "portrait"),
    }
    fonts = "".join(
        f'<style:font-face style:name="{f}" svg:font-family="&apos;{f}&apos;"/>' for _, f in FACES)
    fonts += '<style:font-face style:name="Liberation Serif" svg:font-family="&apos;Liberation Serif&apos;"/>'
    auto = ""
    for key, face in enumerate(FACES):
        auto += (f'<style:style style:name="F{key}" style:family="text"><style:text-properties '
                 f'style:font-name-asian="{face[1]}" style:font-name="{face[1]}" fo:font-size="14pt" '
                 f'style:font-size-asian="14pt"/></style:style>')
    auto += ('<style:style style:name="Cell" style:family="table-cell"><style:table-cell-properties '
             'fo:padding="0.1cm" fo:border="0.05cm solid #000000"/></style:style>')
    auto += ('<style:style style:name="Shape" style:family="graphic"><style:graphic-properties '
             'draw:fill="solid" draw:fill-color="#2a6fbd" svg:stroke-color="#c00000" draw:stroke="solid" '
             'svg:stroke-width="0.1cm" style:wrap="none" style:vertical-pos="from-top" '
             'style:horizontal-pos="from-left" style:vertical-rel="paragraph" '
             'style:horizontal-rel="paragraph"/></style:style>')
    auto += ('<style:style style:name="Pic" style:family="graphic"><style:graphic-properties '
             'style:wrap="none" style:vertical-pos="from-top" style:horizontal-pos="from-left" '
             'style:vertical-rel="paragraph" style:horizontal-rel="paragraph"/></style:style>')
    master = ""
    layouts = ""
    for name, (w, h, orient) in styles.items():
        layouts += (f'<style:page-layout style:name="L{name}"><style:page-layout-properties fo:page-width="{w}" '
                    f'fo:page-height="{h}" style:print-orientation="{orient}" fo:margin="2cm"/></style:page-layout>')
        master += f'<style:master-page style:name="M{name}" style:page-layout-name="L{name}"/>'
    for i, (name, _) in enumerate(pages):
        auto += (f'<style:style style:name="P{i}" style:family="paragraph" style:master-page-name="M{name}">'
                 f'<style:paragraph-properties fo:break-before="page"/></style:style>')
    body = ""
    for i, (_, content) in enumerate(pages):
        body += f'<text:p text:style-name="P{i}"/>' + content
    return f'''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:xlink="http://www.w3.org/1999/xlink"
 xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
<office:meta><dc:title>{title}</dc:title><meta:initial-creator>{author}</meta:initial-creator><dc:creator>{author}</dc:creator>
<meta:creation-date>2024-03-15T10:20:30</meta:creation-date></office:meta>
<office:font-face-decls>{fonts}</office:font-face-decls>
<office:automatic-styles>{layouts}{auto}</office:automatic-styles>
<office:master-styles>{master}</office:master-styles>
<office:body><office:text>{body}</office:text></office:body></office:document>'''


def chinese_page():
    lines = ["关于进一步做好档案数字化工作的通知", "各单位：为规范电子文件的存储与交换，现将有关事项通知如下。",
             "一、高度重视版式文档的长期保存。", "二、统一使用标准格式，确保文字清晰可读。"]
    out = '<text:h text:outline-level="1">第一章 字体</text:h>'
    for key, (label, _) in enumerate(FACES):
        for line in lines[:2]:
            out += f'<text:p><text:span text:style-name="F{key}">{label}：{line}</text:span></text:p>'
    return out


def latin_table_page(pic_b64):
    out = '<text:h text:outline-level="1">Chapter two: tables</text:h>'
    out += ('<text:p>The quick brown fox jumps over the lazy dog. Pack my box with five dozen '
            'liquor jugs; sphinx of black quartz, judge my vow.</text:p>')
    out += '<table:table table:name="T1"><table:table-column table:number-columns-repeated="3"/>'
    for r in range(3):
        out += "<table:table-row>"
        for c in range(3):
            out += (f'<table:table-cell table:style-name="Cell" office:value-type="string">'
                    f'<text:p>单元格 {r + 1}-{c + 1}</text:p></table:table-cell>')
        out += "</table:table-row>"
    out += "</table:table>"
    out += ('<text:p><draw:custom-shape draw:style-name="Shape" svg:width="5cm" svg:height="3cm" '
            'svg:x="1cm" svg:y="0.5cm" text:anchor-type="paragraph"><draw:enhanced-geometry '
            'svg:viewBox="0 0 21600 21600" draw:type="ellipse"/></draw:custom-shape></text:p>')
    out += ('<text:p><draw:frame draw:style-name="Pic" svg:width="8cm" svg:height="5cm" svg:x="8cm" svg:y="0cm" '
            'text:anchor-type="paragraph"><draw:image><office:binary-data>' + pic_b64 +
            '</office:binary-data></draw:image></draw:frame></text:p>')
    return out


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    pic = base64.b64encode(photo_png()).decode()
    pages = [("A4", chinese_page()), ("A4", latin_table_page(pic)),
             ("A5", '<text:h text:outline-level="1">第三章 小页面</text:h><text:p>A5 页面上的文字。Small page.</text:p>'),
             ("A4L", '<text:h text:outline-level="1">第四章 横向</text:h><text:p>横向页面：Landscape page with 中文 text.</text:p>'),
             ("Letter", '<text:h text:outline-level="2">4.1 信纸</text:h><text:p>Letter size 信纸大小。</text:p>')]
    src = os.path.join(outdir, "mixed.fodt")
    with open(src, "w", encoding="utf-8") as f:
        f.write(fodt(pages, "版式文档测试", "张三"))
    profile = "file://" + os.path.abspath(os.path.join(outdir, "profile"))
    subprocess.run(["soffice", f"-env:UserInstallation={profile}", "--headless", "--convert-to",
                    'pdf:writer_pdf_Export:{"ExportBookmarks":{"type":"boolean","value":"true"}}',
                    "--outdir", outdir, src], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=300)


if __name__ == "__main__":
    main()
