#!/usr/bin/python3
"""TLS fronts on 127.0.0.1 for the HTTP client's tests.

Started by a test with --report PORT --backend PORT [--rsa] [--named HOST]. It makes a test CA and
the certificates it needs in a folder of its own (removed as soon as they are loaded), with P-256
keys, or RSA keys with --rsa (Wine 8 rejects an ECDSA signature whose r or s is shorter than 32 bytes,
one in a hundred or so), opens one listening port per front, connects to the test's report port and
writes there one line per front ("good 40123"), a line "ca" and the CA certificate, and an empty line.
Each front completes a handshake with its own certificate and settings and relays the decrypted bytes
both ways to the backend port on 127.0.0.1. It ends when the test closes the report connection (a
test that ends, however it ends, closes it).

Fronts:
  good        a certificate for localhost and 127.0.0.1 from the CA; a server name other than
              localhost, or none, is refused, so a request that gets through has sent it
  address     the same certificate, no server name needed (requests to 127.0.0.1)
  other-host  a certificate for other.example from the CA
  expired     a certificate for localhost from the CA that ended in 2021
  self-signed a certificate for localhost that signs itself
  tls10       the good certificate, TLS 1.0 and nothing newer
  stall       takes the connection and the client's first bytes, and never answers
  named       with --named HOST only: a certificate for HOST from the CA; a server name other than
              HOST, or none, is refused (for a client that asks a host of its own build through a
              proxy's tunnel, which the test points at this front)
"""

import argparse
import os
import select
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import warnings

# TLS 1.0 is deprecated, and the front that offers nothing newer is there to be refused.
warnings.filterwarnings("ignore", category=DeprecationWarning)

OPENSSL = "/usr/bin/openssl"
LEAF_EXTENSIONS = "basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n"


def run(*arguments, cwd):
    subprocess.run([OPENSSL, *arguments], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(folder, rsa, named_host):
    """The CA and the leaf certificates, named <front>.pem; the CA's key is ca.key, every leaf's leaf.key.
    The CA outlives its leaves, so their dates nest within its own."""
    if rsa:
        for key in ("ca.key", "leaf.key"):
            run("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", key, cwd=folder)
    else:
        for key in ("ca.key", "leaf.key"):
            run("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out", key, cwd=folder)
    run("req", "-x509", "-key", "ca.key", "-out", "ca.pem", "-days", "3", "-subj", "/CN=Halcyra Test CA",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    leaves = {"good": "DNS:localhost,IP:127.0.0.1", "other-host": "DNS:other.example", "expired": "DNS:localhost"}
    if named_host:
        leaves["named"] = "DNS:" + named_host
    for name, names in leaves.items():
        with open(os.path.join(folder, name + ".ext"), "w") as extensions:
            extensions.write(LEAF_EXTENSIONS + "subjectAltName=" + names + "\n")
        run("req", "-new", "-key", "leaf.key", "-out", name + ".csr", "-subj", "/CN=" + names.split(",")[0][4:],
            cwd=folder)
    for name in [leaf for leaf in leaves if leaf != "expired"]:
        run("x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-days", "2",
            "-sha256", "-extfile", name + ".ext", "-out", name + ".pem", cwd=folder)
    # Only the CA command sets the dates of a certificate freely.
    with open(os.path.join(folder, "ca.cnf"), "w") as config:
        config.write("[ca]\ndefault_ca=test\n[test]\ndatabase=index.txt\nnew_certs_dir=.\nserial=serial\n"
                     "default_md=sha256\npolicy=anything\n[anything]\ncommonName=supplied\n")
    open(os.path.join(folder, "index.txt"), "w").close()
    with open(os.path.join(folder, "serial"), "w") as serial:
        serial.write("1000\n")
    run("ca", "-config", "ca.cnf", "-batch", "-notext", "-cert", "ca.pem", "-keyfile", "ca.key", "-in", "expired.csr",
        "-out", "expired.pem", "-startdate", "20200101000000Z", "-enddate", "20210101000000Z", "-extfile",
        "expired.ext", cwd=folder)
    run("req", "-x509", "-key", "leaf.key", "-out", "self-signed.pem", "-days", "2", "-subj", "/CN=localhost",
        "-addext", "subjectAltName=DNS:localhost", "-addext", "basicConstraints=critical,CA:FALSE",
        "-addext", "extendedKeyUsage=serverAuth", cwd=folder)


def context_for(folder, certificate, oldest=None, newest=None, server_name=None):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if oldest:
        # Debian's OpenSSL refuses TLS 1.0 at its default security level.
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        context.minimum_version = oldest
    if newest:
        context.maximum_version = newest
    context.load_cert_chain(os.path.join(folder, certificate + ".pem"), os.path.join(folder, "leaf.key"))
    if server_name:
        def check_name(connection, name, context):
            if name != server_name:
                return ssl.ALERT_DESCRIPTION_UNRECOGNIZED_NAME
            return None
        context.sni_callback = check_name
    return context


def relay(secure, backend_port):
    """Decrypted bytes to the backend and back until the backend closes; then a close notification."""
    with socket.create_connection(("127.0.0.1", backend_port), timeout=30) as plain:
        watched = [secure, plain]
        while True:
            ready = [secure] if secure.pending() else select.select(watched, [], [], 30)[0]
            if not ready:
                break
            if secure in ready:
                try:
                    data = secure.recv(65536)
                except ssl.SSLWantReadError:
                    continue
                except (ssl.SSLError, OSError):
                    break
                if data:
                    plain.sendall(data)
                else:
                    plain.shutdown(socket.SHUT_WR)
                    watched = [plain]
            if plain in ready:
                data = plain.recv(65536)
                if not data:
                    break
                secure.sendall(data)
    secure.setblocking(False)
    try:
        secure.unwrap()
    except (ssl.SSLError, OSError, ValueError):
        pass


def serve_secure(connection, context, backend_port):
    try:
        connection.settimeout(10)
        secure = context.wrap_socket(connection, server_side=True)
    except (ssl.SSLError, OSError):
        connection.close()
        return
    try:
        relay(secure, backend_port)
    except OSError:
        pass
    finally:
        secure.close()


def serve_stall(connection):
    connection.settimeout(30)
    try:
        while connection.recv(4096):
            pass
    except OSError:
        pass
    connection.close()


def accept_forever(listener, handle):
    while True:
        try:
            connection, _ = listener.accept()
        except OSError:
            return
        threading.Thread(target=handle, args=(connection,), daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--report", type=int, required=True)
    parser.add_argument("--backend", type=int, required=True)
    parser.add_argument("--rsa", action="store_true")
    parser.add_argument("--named")
    arguments = parser.parse_args()

    folder = tempfile.mkdtemp(prefix="halcyra-tls-")
    try:
        make_certificates(folder, arguments.rsa, arguments.named)
        fronts = {
            "good": context_for(folder, "good", server_name="localhost"),
            "address": context_for(folder, "good"),
            "other-host": context_for(folder, "other-host"),
            "expired": context_for(folder, "expired"),
            "self-signed": context_for(folder, "self-signed"),
            "tls10": context_for(folder, "good", oldest=ssl.TLSVersion.TLSv1, newest=ssl.TLSVersion.TLSv1),
            "stall": None,
        }
        if arguments.named:
            fronts["named"] = context_for(folder, "named", server_name=arguments.named)
        with open(os.path.join(folder, "ca.pem")) as authority:
            ca = authority.read()
    finally:
        # The keys were read into the contexts: nothing needs the folder any more.
        shutil.rmtree(folder, ignore_errors=True)

    report = []
    for name, context in fronts.items():
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(("127.0.0.1", 0))
        listener.listen(16)
        if context is None:
            handle = serve_stall
        else:
            handle = lambda connection, context=context: serve_secure(connection, context, arguments.backend)
        threading.Thread(target=accept_forever, args=(listener, handle), daemon=True).start()
        report.append("%s %d" % (name, listener.getsockname()[1]))

    with socket.create_connection(("127.0.0.1", arguments.report), timeout=30) as control:
        control.sendall(("\r\n".join(report) + "\r\nca\r\n" + ca.strip().replace("\n", "\r\n") + "\r\n\r\n").encode())
        control.settimeout(None)
        try:
            while control.recv(4096):
                pass
        except OSError:
            pass
    # Daemon threads may be in the middle of a relay: they end with the process.
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
