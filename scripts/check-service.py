#!/usr/bin/env python3
"""The HTTPS service scripts/check-package starts the installed program against.

Serves on 127.0.0.1 a page with an invoice and a beacon, the update check
(signed with the build's update key, when there is one) and a report; writes
each request it gets as a line to EVENTS. Usage:
check-service.py PORT CERT KEY UPDATE_KEY_OR_EMPTY EVENTS
"""
import base64
import http.server
import ssl
import subprocess
import sys
import tempfile

port, cert, key, update_key, events = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]

PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>Provjera</title></head><body>
<input type="hidden" id="PrintInvoiceData" value="Račun 1/2026 čćđšž ČĆĐŠŽ">
<input type="hidden" id="IsShell" value="false">
<script>
new Image().src = '/beacon?during-load=' + typeof JSConnector;
JSConnector.displayString('provjera');
window.addEventListener('load', function () {
  setTimeout(function () {
    new Image().src = '/beacon?shell=' + document.getElementById('IsShell').value;
    JSConnector.downloadReport('/reports/provjera.pdf');
  }, 300);
});
</script></body></html>"""


def sign(body):
    if not update_key:
        return None
    with tempfile.NamedTemporaryFile() as data:
        data.write(body)
        data.flush()
        signature = subprocess.run(["openssl", "pkeyutl", "-sign", "-rawin", "-inkey", update_key, "-in", data.name],
                                   check=True, capture_output=True).stdout
    return base64.b64encode(signature).decode()


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(events, "a") as log:
            log.write(self.path + "\n")
        headers = {}
        if self.path.startswith("/check"):
            body, kind = PAGE.encode(), "text/html; charset=utf-8"
        elif self.path.startswith("/updates/"):
            body, kind = b'{"version": 0}', "application/json"
            signature = sign(body)
            if signature:
                headers["X-Update-Signature"] = signature
        elif self.path.startswith("/reports/"):
            body, kind = b"%PDF-1.4\n% provjera\n", "application/pdf"
        else:
            body, kind = b"", "image/gif"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers.items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)


server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
server.serve_forever()
