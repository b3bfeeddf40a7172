#!/usr/bin/env python3
"""Packs the browser extension the way browsers install it: a CRX3 file signed with the given
RSA key (Chromium-family browsers) and an XPI (Firefox). Both are the same zip archive, built
reproducibly: files in name order, fixed time stamps and modes, so that one source and one key
always give the same bytes (RSA PKCS#1 v1.5 signatures are deterministic).

The manifest's "key" must be the signing key's public half: it fixes the extension id that the
native-messaging host manifests allow, for the packed and the unpacked extension alike. The
build writes that manifest for its key (--manifest replaces the source's); --describe prints
the key's extension id and public half, for the build to write it with.
"""
import argparse
import base64
import hashlib
import io
import json
import os
import struct
import subprocess
import sys
import zipfile

CRX3_SIGNATURE_CONTEXT = b"CRX3 SignedData\x00"


def zip_archive(source, manifest):
    names = []
    for folder, subfolders, files in os.walk(source):
        subfolders.sort()
        for name in files:
            names.append(os.path.relpath(os.path.join(folder, name), source))
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name in sorted(names):
            info = zipfile.ZipInfo(name.replace(os.sep, "/"), date_time=(1980, 1, 1, 0, 0, 0))
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            path = manifest if name == "manifest.json" else os.path.join(source, name)
            with open(path, "rb") as file:
                archive.writestr(info, file.read(), compresslevel=9)
    return buffer.getvalue()


def varint(value):
    out = bytearray()
    while True:
        byte = value & 0x7F
        value >>= 7
        if value:
            out.append(byte | 0x80)
        else:
            out.append(byte)
            return bytes(out)


def field(number, payload):
    """A length-delimited protocol buffer field."""
    return varint(number << 3 | 2) + varint(len(payload)) + payload


def openssl(arguments, data=None):
    return subprocess.run(["openssl"] + arguments, input=data, capture_output=True, check=True).stdout


def public_key_of(key_path):
    return openssl(["pkey", "-in", key_path, "-pubout", "-outform", "DER"])


def crx3(archive, key_path):
    public_key = public_key_of(key_path)
    crx_id = hashlib.sha256(public_key).digest()[:16]
    signed_data = field(1, crx_id)  # SignedData.crx_id
    message = CRX3_SIGNATURE_CONTEXT + struct.pack("<I", len(signed_data)) + signed_data + archive
    signature = openssl(["dgst", "-sha256", "-sign", key_path], message)
    proof = field(1, public_key) + field(2, signature)  # AsymmetricKeyProof
    header = field(2, proof) + field(10000, signed_data)  # CrxFileHeader.sha256_with_rsa, .signed_header_data
    return b"Cr24" + struct.pack("<II", 3, len(header)) + header + archive, public_key


def extension_id(public_key):
    digest = hashlib.sha256(public_key).hexdigest()[:32]
    return "".join(chr(ord("a") + int(digit, 16)) for digit in digest)


def write_if_changed(path, data):
    try:
        with open(path, "rb") as file:
            if file.read() == data:
                return
    except FileNotFoundError:
        pass
    with open(path + ".part", "wb") as file:
        file.write(data)
    os.replace(path + ".part", path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--key", required=True, help="the RSA private key (PEM) that signs the CRX")
    parser.add_argument("--describe", action="store_true", help="print the key's extension id and public half (base64), and stop")
    parser.add_argument("--source", help="the unpacked extension")
    parser.add_argument("--manifest", help="the manifest to pack instead of the source's")
    parser.add_argument("--crx")
    parser.add_argument("--xpi")
    arguments = parser.parse_args()

    if arguments.describe:
        public_key = public_key_of(arguments.key)
        print(extension_id(public_key), base64.b64encode(public_key).decode())
        return
    if not (arguments.source and arguments.crx and arguments.xpi):
        parser.error("--source, --crx and --xpi are needed to pack")
    manifest_path = arguments.manifest or os.path.join(arguments.source, "manifest.json")
    with open(manifest_path, encoding="utf-8") as file:
        manifest = json.load(file)
    archive = zip_archive(arguments.source, manifest_path)
    package, public_key = crx3(archive, arguments.key)
    if manifest.get("key") != base64.b64encode(public_key).decode():
        sys.exit(f"pack_extension: the manifest's key is not the public half of {arguments.key}")
    write_if_changed(arguments.crx, package)
    write_if_changed(arguments.xpi, archive)
    print(f"pack_extension: {extension_id(public_key)} version {manifest['version']}")


if __name__ == "__main__":
    main()
