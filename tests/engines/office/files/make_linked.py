#!/usr/bin/python3
"""Writes documents that link to things outside themselves, for the office tests.

  make_linked.py FOLDER URL

FOLDER receives marker.png (a 37 x 23 picture no document embeds), marker.html (a page
whose text is MARKERTEXT) and one document of each kind below. Each holds its own text
"正文BODYTEXT", links marker.png by an absolute file URL (and, where the format has one, by
a name relative to the document), and links URL in every way the format offers.
Only the standard library: the tests write these at run time, since the links name
the folder and the listener's port.
"""
import os
import struct
import sys
import zipfile
import zlib
from urllib.parse import quote

BODY = "正文BODYTEXT"


def png(width, height, rgb):
    def chunk(kind, data):
        c = kind + data
        return struct.pack(">I", len(data)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def write_zip(path, parts):
    with zipfile.ZipFile(path, "w") as z:
        for name, data in parts:
            method = zipfile.ZIP_STORED if name == "mimetype" else zipfile.ZIP_DEFLATED
            z.writestr(zipfile.ZipInfo(name), data, compress_type=method)


def docx(path, local, url):
    W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" ' \
        'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" ' \
        'xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" ' \
        'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" ' \
        'xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture"'

    def picture(rid, n):
        return (f'<w:r><w:drawing><wp:inline><wp:extent cx="1409700" cy="876300"/><wp:docPr id="{n}" name="p{n}"/>'
                '<a:graphic><a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/picture">'
                f'<pic:pic><pic:nvPicPr><pic:cNvPr id="{n}" name="p{n}"/><pic:cNvPicPr/></pic:nvPicPr>'
                f'<pic:blipFill><a:blip r:link="{rid}"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill>'
                '<pic:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="1409700" cy="876300"/></a:xfrm>'
                '<a:prstGeom prst="rect"><a:avLst/></a:prstGeom></pic:spPr></pic:pic></a:graphicData></a:graphic>'
                '</wp:inline></w:drawing></w:r>')

    def field(instr):
        return (f'<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> {instr} </w:instrText></w:r>'
                '<w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>-</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r>')

    fields = ["INCLUDEPICTURE &quot;" + url + "/includepicture.png&quot; \\d",
              "INCLUDETEXT &quot;" + url + "/includetext.docx&quot;",
              "LINK Excel.Sheet.12 &quot;" + url + "/link.xlsx&quot; Sheet1!R1C1 \\a \\t"]
    body = (f'<w:p><w:r><w:t>{BODY}</w:t></w:r></w:p><w:p>{picture("rLocal", 1)}{picture("rWeb", 2)}</w:p>'
            + "".join("<w:p>" + field(f) + "</w:p>" for f in fields))
    document = f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document {W}><w:body>{body}</w:body></w:document>'
    rels = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            f'<Relationship Id="rLocal" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" Target="{local}" TargetMode="External"/>'
            f'<Relationship Id="rWeb" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" Target="{url}/docx.png" TargetMode="External"/>'
            '</Relationships>')
    write_zip(path, [
        ("[Content_Types].xml", '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
         '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
         '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
         '<Default Extension="xml" ContentType="application/xml"/>'
         '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
         '</Types>'),
        ("_rels/.rels", '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
         '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
         '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>'
         '</Relationships>'),
        ("word/document.xml", document),
        ("word/_rels/document.xml.rels", rels),
    ])


def rtf(path, local, url):
    def field(instr):
        return "{\\field{\\*\\fldinst{ " + instr + " }}{\\fldrslt{-}}}"
    text = "".join(c if ord(c) < 128 else "\\u%d?" % ord(c) for c in BODY)
    with open(path, "w", encoding="ascii") as f:
        f.write("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\pard " + text + "\\par\n"
                + field('INCLUDEPICTURE "' + local + '" \\\\d') + "\\par\n"
                + field('INCLUDEPICTURE "' + url + '/rtf.png" \\\\d') + "\\par\n"
                + field('INCLUDETEXT "' + url + '/rtf.docx"') + "\\par\n}")


def html(path, url):
    with open(path, "w", encoding="utf-8") as f:
        f.write('<!DOCTYPE html><html><head><meta charset="utf-8">'
                f'<link rel="stylesheet" href="{url}/style.css">'
                f'<style>body {{ background-image: url("{url}/css.png"); }}</style></head><body>'
                f'<p>{BODY}</p><p><img src="marker.png" width="37" height="23"></p>'
                f'<p><img src="{url}/html.png" width="37" height="23"></p>'
                f'<iframe src="marker.html"></iframe><iframe src="{url}/frame.html"></iframe>'
                '</body></html>')


ODF_NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
          'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
          'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
          'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
          'xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.2"')


def odf_text(local, url, relative):
    def image(href, n):
        return (f'<draw:frame draw:name="p{n}" text:anchor-type="as-char" svg:width="3.7cm" svg:height="2.3cm">'
                f'<draw:image xlink:href="{href}" xlink:type="simple" xlink:show="embed" xlink:actuate="onLoad"/></draw:frame>')
    return (f'<office:body><office:text><text:p>{BODY}</text:p><text:p>{image(local, 1)}{image(url + "/odf.png", 2)}'
            + (image(relative, 3) if relative else "") + '</text:p>'
            f'<text:section text:name="linked"><text:section-source xlink:href="{url}/section.odt" xlink:type="simple"/>'
            '<text:p/></text:section></office:text></office:body>')


def odt(path, local, url):
    content = f'<?xml version="1.0" encoding="UTF-8"?><office:document-content {ODF_NS}>{odf_text(local, url, "../marker.png")}</office:document-content>'
    manifest = ('<?xml version="1.0" encoding="UTF-8"?><manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
                '<manifest:file-entry manifest:full-path="/" manifest:version="1.2" manifest:media-type="application/vnd.oasis.opendocument.text"/>'
                '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/></manifest:manifest>')
    write_zip(path, [("mimetype", "application/vnd.oasis.opendocument.text"),
                     ("content.xml", content), ("META-INF/manifest.xml", manifest)])


def fodt(path, local, url):
    with open(path, "w", encoding="utf-8") as f:
        f.write(f'<?xml version="1.0" encoding="UTF-8"?><office:document {ODF_NS} '
                f'office:mimetype="application/vnd.oasis.opendocument.text">{odf_text(local, url, "marker.png")}</office:document>')


def xlsx(path, local, url):
    sheet = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
             '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
             f'<row r="1"><c r="A1" t="inlineStr"><is><t>{BODY}</t></is></c></row>'
             f'<row r="2"><c r="A2" t="str"><f>WEBSERVICE("{url}/webservice")</f><v>-</v></c></row>'
             f'<row r="3"><c r="A3"><f>[1]Sheet1!A1</f><v>0</v></c></row>'
             '</sheetData></worksheet>')
    write_zip(path, [
        ("[Content_Types].xml", '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
         '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
         '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
         '<Default Extension="xml" ContentType="application/xml"/>'
         '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
         '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
         '<Override PartName="/xl/externalLinks/externalLink1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.externalLink+xml"/>'
         '</Types>'),
        ("_rels/.rels", '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
         '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
         '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>'
         '</Relationships>'),
        ("xl/workbook.xml", '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
         '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
         'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
         '<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets>'
         '<externalReferences><externalReference r:id="rId2"/></externalReferences></workbook>'),
        ("xl/_rels/workbook.xml.rels", '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
         '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
         '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>'
         '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/externalLink" Target="externalLinks/externalLink1.xml"/>'
         '</Relationships>'),
        ("xl/worksheets/sheet1.xml", sheet),
        ("xl/externalLinks/externalLink1.xml", '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
         '<externalLink xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
         'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
         '<externalBook r:id="rId1"><sheetNames><sheetName val="Sheet1"/></sheetNames></externalBook></externalLink>'),
        ("xl/externalLinks/_rels/externalLink1.xml.rels", '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
         '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
         f'<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/externalLinkPath" Target="{url}/book.xlsx" TargetMode="External"/>'
         '</Relationships>'),
    ])


def main():
    folder, url = sys.argv[1], sys.argv[2].rstrip("/")
    os.makedirs(folder, exist_ok=True)
    marker = os.path.join(folder, "marker.png")
    with open(marker, "wb") as f:
        f.write(png(37, 23, (220, 30, 30)))
    with open(os.path.join(folder, "marker.html"), "w", encoding="utf-8") as f:
        f.write("<html><body><p>MARKERTEXT</p></body></html>")
    local = "file://" + quote(marker)
    docx(os.path.join(folder, "docx.docx"), local, url)
    rtf(os.path.join(folder, "rtf.rtf"), local, url)
    html(os.path.join(folder, "html.doc"), url)
    odt(os.path.join(folder, "odt.odt"), local, url)
    fodt(os.path.join(folder, "fodt.fodt"), local, url)
    xlsx(os.path.join(folder, "xlsx.xlsx"), local, url)


if __name__ == "__main__":
    main()
