#!/usr/bin/python3
"""Makes the password-protected documents of the office tests with LibreOffice itself.

Run with Debian's python3 (python3-uno):  /usr/bin/python3 make_protected.py [FOLDER]

  locked-rc4.doc        Word 97 document, RC4 encryption (what LibreOffice writes)
  locked-cryptoapi.doc  Word 97 document, RC4 CryptoAPI encryption: the document
                        LibreOffice writes without a password, encrypted here
  locked-std.docx       Word 2007 document, ECMA-376 standard encryption (AES-128)
  locked-agile.docx     Word 2007 document, ECMA-376 agile encryption (AES-256, SHA-512):
                        the package LibreOffice writes, encrypted here
                        (python3-cryptography), in a compound file made by LibreOffice's
                        OLE storage (LibreOffice writes no agile encryption itself)
  locked.xls            Excel 97 workbook, RC4 encryption, the text on its second sheet

The Word documents open with WORD_PASSWORD, the workbook with BOOK_PASSWORD (LibreOffice
7.4 writes a workbook that it cannot open again when the password is not ASCII).
"""
import base64
import hashlib
import hmac
import os
import struct
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import NamedValue, PropertyValue
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

WORD_PASSWORD = "Quorv密码7"
BOOK_PASSWORD = "Tabelle-42"
WORD_TEXT = "Geheim lock text QZX17\n密码保护的文档"
BOOK_TEXT = "Geheim cell QZX17 表格"


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def store(doc, path, props):
    uno.invoke(doc, "storeToURL", (uno.systemPathToFileUrl(path),
                                   uno.Any("[]com.sun.star.beans.PropertyValue", tuple(props))))


def aes_cbc(key, iv, data):
    data += b"\0" * (-len(data) % 16)
    e = Cipher(algorithms.AES(key), modes.CBC(iv)).encryptor()
    return e.update(data) + e.finalize()


def sha512(*parts):
    return hashlib.sha512(b"".join(parts)).digest()


def agile_streams(package, password):
    """EncryptionInfo and EncryptedPackage of ECMA-376 agile encryption."""
    spin = 100000
    key_salt, password_salt = os.urandom(16), os.urandom(16)
    secret, verifier, hmac_key = os.urandom(32), os.urandom(16), os.urandom(64)
    h = sha512(password_salt, password.encode("utf-16-le"))
    for i in range(spin):
        h = sha512(struct.pack("<I", i), h)

    def password_key(block):
        return sha512(h, block)[:32]

    def data_iv(block):
        return sha512(key_salt, block)[:16]

    enc_input = aes_cbc(password_key(bytes.fromhex("fea7d2763b4b9e79")), password_salt, verifier)
    enc_value = aes_cbc(password_key(bytes.fromhex("d7aa0f6d3061344e")), password_salt,
                        sha512(verifier))
    enc_key = aes_cbc(password_key(bytes.fromhex("146e0be7abacd0d6")), password_salt, secret)
    body = b""
    for n in range(0, len(package), 4096):
        body += aes_cbc(secret, data_iv(struct.pack("<I", n // 4096)), package[n:n + 4096])
    encrypted = struct.pack("<Q", len(package)) + body
    enc_hmac_key = aes_cbc(secret, data_iv(bytes.fromhex("5fb2ad010cb9e1f6")), hmac_key)
    enc_hmac_value = aes_cbc(secret, data_iv(bytes.fromhex("a0677f02b22c8433")),
                             hmac.new(hmac_key, encrypted, hashlib.sha512).digest())
    b64 = lambda b: base64.b64encode(b).decode()
    algo = ('saltSize="16" blockSize="16" keyBits="256" hashSize="64" cipherAlgorithm="AES" '
            'cipherChaining="ChainingModeCBC" hashAlgorithm="SHA512"')
    xml = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
           '<encryption xmlns="http://schemas.microsoft.com/office/2006/encryption" '
           'xmlns:p="http://schemas.microsoft.com/office/2006/keyEncryptor/password">'
           '<keyData %s saltValue="%s"/>'
           '<dataIntegrity encryptedHmacKey="%s" encryptedHmacValue="%s"/>'
           '<keyEncryptors><keyEncryptor uri="http://schemas.microsoft.com/office/2006/keyEncryptor/password">'
           '<p:encryptedKey spinCount="%d" %s saltValue="%s" encryptedVerifierHashInput="%s" '
           'encryptedVerifierHashValue="%s" encryptedKeyValue="%s"/>'
           '</keyEncryptor></keyEncryptors></encryption>') % (
               algo, b64(key_salt), b64(enc_hmac_key), b64(enc_hmac_value), spin, algo,
               b64(password_salt), b64(enc_input), b64(enc_value), b64(enc_key))
    return struct.pack("<HHI", 4, 4, 0x40) + xml.encode(), encrypted


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) % 256
        s[i], s[j] = s[j], s[i]
    out, i, j = bytearray(), 0, 0
    for byte in data:
        i = (i + 1) % 256
        j = (j + s[i]) % 256
        s[i], s[j] = s[j], s[i]
        out.append(byte ^ s[(s[i] + s[j]) % 256])
    return bytes(out)


def cryptoapi_doc(streams, password):
    """The streams of a Word 97 document encrypted with RC4 CryptoAPI: the header goes in
    front of the table stream, so every table offset of the FIB moves by its size."""
    streams = dict(streams)
    salt, verifier = os.urandom(16), os.urandom(16)
    digest = hashlib.sha1(salt + password[:15].encode("utf-16-le")).digest()

    def block_key(n):
        return hashlib.sha1(digest + struct.pack("<I", n)).digest()[:16]

    def encrypt(data):
        return b"".join(rc4(block_key(n // 512), data[n:n + 512]) for n in range(0, len(data), 512))

    csp = "Microsoft Enhanced Cryptographic Provider v1.0\0".encode("utf-16-le")
    header = struct.pack("<IIIIIIII", 0x04, 0, 0x6801, 0x8004, 128, 1, 0, 0) + csp
    verify = rc4(block_key(0), verifier + hashlib.sha1(verifier).digest())
    info = (struct.pack("<HHII", 4, 2, 0x04, len(header)) + header +
            struct.pack("<I", 16) + salt + verify[:16] + struct.pack("<I", 20) + verify[16:])
    word = bytearray(streams["WordDocument"])
    flags = struct.unpack_from("<H", word, 10)[0]
    table = "1Table" if flags & 0x0200 else "0Table"
    struct.pack_into("<H", word, 10, (flags | 0x0100) & ~0x8000)  # fEncrypted, not obfuscated
    struct.pack_into("<I", word, 14, len(info))  # lKey: the header's size
    at = 32
    at += 2 + 2 * struct.unpack_from("<H", word, at)[0]  # fibRgW
    at += 2 + 4 * struct.unpack_from("<H", word, at)[0]  # fibRgLw
    pairs = struct.unpack_from("<H", word, at)[0]
    for i in range(pairs):
        fc, lcb = struct.unpack_from("<II", word, at + 2 + 8 * i)
        if lcb:
            struct.pack_into("<I", word, at + 2 + 8 * i, fc + len(info))
    # The first 68 bytes of the FIB stay readable; everything else is encrypted by its
    # position in the stream, the header's place in the table stream included.
    streams["WordDocument"] = bytes(word[:68]) + encrypt(bytes(word))[68:]
    plain_table = b"\0" * len(info) + streams[table]
    streams[table] = info + encrypt(plain_table)[len(info):]
    if "Data" in streams:
        streams["Data"] = encrypt(streams["Data"])
    return list(streams.items())


def read_compound_file(ctx, path):
    sm = ctx.ServiceManager
    files = sm.createInstanceWithContext("com.sun.star.ucb.SimpleFileAccess", ctx)
    storage = sm.createInstanceWithArgumentsAndContext(
        "com.sun.star.embed.OLESimpleStorage", (files.openFileRead(uno.systemPathToFileUrl(path)),),
        ctx)
    streams = []
    for name in storage.getElementNames():
        stream = storage.getByName(name)
        _, data = stream.readBytes(None, 1 << 24)
        streams.append((name, bytes(data.value)))
    return streams


def write_compound_file(ctx, path, streams):
    """A compound file holding the streams, written by LibreOffice's OLE storage."""
    sm = ctx.ServiceManager
    files = sm.createInstanceWithContext("com.sun.star.ucb.SimpleFileAccess", ctx)
    url = uno.systemPathToFileUrl(path)
    if files.exists(url):
        files.kill(url)
    storage = sm.createInstanceWithArgumentsAndContext(
        "com.sun.star.embed.OLESimpleStorage", (files.openFileReadWrite(url), True), ctx)
    for name, data in streams:
        stream = sm.createInstanceWithArgumentsAndContext(
            "com.sun.star.io.SequenceInputStream", (uno.ByteSequence(data),), ctx)
        storage.insertByName(name, stream)
    storage.commit()


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(__file__))
    profile = tempfile.mkdtemp(prefix="quorv-make-protected-")
    pipe = "quorvmake%d" % os.getpid()
    office = subprocess.Popen(["soffice", "--headless", "--invisible", "--norestore", "--nologo",
                               "-env:UserInstallation=" + uno.systemPathToFileUrl(profile),
                               "--accept=pipe,name=%s;urp;" % pipe])
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(150):
        try:
            ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            time.sleep(0.2)
    desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
    hidden = (prop("Hidden", True),)
    try:
        doc = desktop.loadComponentFromURL("private:factory/swriter", "_blank", 0, hidden)
        doc.Text.setString(WORD_TEXT)
        store(doc, os.path.join(out, "locked-rc4.doc"),
              [prop("FilterName", "MS Word 97"), prop("Password", WORD_PASSWORD)])
        # OOXML encryption is asked for through EncryptionData; "Standard" is the kind
        # LibreOffice writes (it reads agile encryption too, but writes no agile file).
        data = uno.Any("[]com.sun.star.beans.NamedValue",
                       (NamedValue("OOXPassword", WORD_PASSWORD), NamedValue("CryptoType", "Standard")))
        store(doc, os.path.join(out, "locked-std.docx"),
              [prop("FilterName", "MS Word 2007 XML"), PropertyValue("EncryptionData", 0, data, 0)])
        plain_doc = os.path.join(profile, "plain.doc")
        store(doc, plain_doc, [prop("FilterName", "MS Word 97")])
        write_compound_file(ctx, os.path.join(out, "locked-cryptoapi.doc"),
                            cryptoapi_doc(read_compound_file(ctx, plain_doc), WORD_PASSWORD))
        plain = os.path.join(profile, "plain.docx")
        store(doc, plain, [prop("FilterName", "MS Word 2007 XML")])
        with open(plain, "rb") as f:
            info, package = agile_streams(f.read(), WORD_PASSWORD)
        write_compound_file(ctx, os.path.join(out, "locked-agile.docx"),
                            [("EncryptionInfo", info), ("EncryptedPackage", package)])
        doc.close(True)
        book = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, hidden)
        book.Sheets.insertNewByName("二", 1)
        book.Sheets.getByIndex(1).getCellByPosition(1, 2).setString(BOOK_TEXT)
        store(book, os.path.join(out, "locked.xls"),
              [prop("FilterName", "MS Excel 97"), prop("Password", BOOK_PASSWORD)])
        book.close(True)
    finally:
        try:
            desktop.terminate()
        except Exception:
            pass
        office.wait(30)
        subprocess.run(["rm", "-rf", profile])


if __name__ == "__main__":
    main()
