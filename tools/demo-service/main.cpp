// A stand-in for the hosted invoicing service, for trying the shell on one
// machine: a login page, an invoice page that follows the shell's page
// contract, reports as PDF and an update check that always answers "up to date",
// signed with the Ed25519 key given as --sign-key.
//
// Usage: velmor-demo-service --cert CERT.pem --key KEY.pem [--sign-key KEY.pem] [--port 8443]

#include "pdf.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::atomic<int> invoiceCounter{1};

std::string htmlEscape(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

const char *pageStyle = R"(<style>
body { font-family: sans-serif; margin: 2em; color: #222; }
.box { border: 1px solid #ccc; padding: 1em; margin: 1em 0; max-width: 40em; }
button { margin-right: .5em; }
#shellState { font-weight: bold; }
</style>)";

std::string loginPage()
{
    return std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Prijava</title>") + pageStyle
           + R"(</head><body>
<h1>Prijava</h1>
<form method="post" action="/accounts/login" class="box">
<p><label>Korisnik <input name="user" value="demo"></label></p>
<p><label>Lozinka <input name="password" type="password" value="demo"></label></p>
<p><button type="submit">Prijavi se</button></p>
</form>
<input type="hidden" id="IsShell" value="false">
</body></html>)";
}

std::string invoicePage(int number)
{
    const std::string text = "RACUN br. " + std::to_string(number) + "/2026\n"
                             "Trgovina Velmor d.o.o.\n"
                             "------------------------------\n"
                             "Čokolada s lješnjacima   2 x 1,99\n"
                             "Šećer 1 kg               1 x 1,25\n"
                             "Đumbir čaj               1 x 3,40\n"
                             "Ćevapi (ž. porcija)      1 x 8,90\n"
                             "------------------------------\n"
                             "UKUPNO EUR                  17,53\n\n\n";
    const std::string html = "<html><head><meta charset=\"utf-8\"></head><body style=\"font-family:sans-serif\">"
                             "<h2>Račun br. " + std::to_string(number) + "/2026</h2>"
                             "<p>Trgovina Velmor d.o.o.</p><table>"
                             "<tr><td>Čokolada s lješnjacima</td><td>2 x 1,99</td></tr>"
                             "<tr><td>Šećer 1 kg</td><td>1 x 1,25</td></tr>"
                             "<tr><td>Đumbir čaj</td><td>1 x 3,40</td></tr>"
                             "<tr><td>Ćevapi (ž. porcija)</td><td>1 x 8,90</td></tr>"
                             "</table><p><b>Ukupno: 17,53 EUR</b></p></body></html>";

    return std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Računi</title>") + pageStyle
           + "</head><body>\n<h1>Račun br. " + std::to_string(number) + "/2026</h1>\n"
           + "<div class=\"box\"><pre>" + htmlEscape(text) + "</pre></div>\n"
           + "<p>Prikaz u ljusci: <span id=\"shellState\">provjera…</span></p>\n"
           + "<p><a href=\"/invoices\">Novi račun</a></p>\n"
           + "<p><button id=\"btnMessage\" onclick=\"JSConnector.displayString('Pozdrav iz web aplikacije')\">"
             "Poruka ljusci</button>"
             "<button id=\"btnReport\" onclick=\"JSConnector.downloadReport('/reports/promet.pdf?od=2026-12-01')\">"
             "Izvještaj o prometu (PDF)</button></p>\n"
           + "<textarea id=\"PrintInvoiceData\" style=\"display:none\">" + htmlEscape(text) + "</textarea>\n"
           + "<textarea id=\"PrintInvoiceDataHTML\" style=\"display:none\">" + htmlEscape(html) + "</textarea>\n"
           + R"(<input type="hidden" id="IsShell" value="false">
<script>
// The shell marks the page once it has finished loading it.
function showShellState() {
    var shown = document.getElementById('IsShell').value === 'true';
    var hasBridge = typeof JSConnector !== 'undefined';
    document.getElementById('shellState').textContent =
        shown ? 'da (JSConnector: ' + (hasBridge ? 'prisutan' : 'nema') + ')' : 'ne';
}
setInterval(showShellState, 300);
showShellState();
</script>
</body></html>)";
}

// The base64 Ed25519 signature of `body` by the private key in `keyFile`;
// empty when the key cannot be used.
std::string signature(const std::string &keyFile, const std::string &body)
{
    std::string result;
    FILE *file = std::fopen(keyFile.c_str(), "r");
    if (!file)
        return result;
    EVP_PKEY *key = PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    unsigned char raw[64];
    size_t length = sizeof raw;
    if (key && context && EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key) == 1
        && EVP_DigestSign(context, raw, &length, reinterpret_cast<const unsigned char *>(body.data()), body.size()) == 1) {
        unsigned char encoded[128];
        const int n = EVP_EncodeBlock(encoded, raw, int(length));
        result.assign(reinterpret_cast<const char *>(encoded), size_t(n));
    }
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(key);
    return result;
}

httplib::SSLServer *runningServer = nullptr;

void stop(int)
{
    if (runningServer)
        runningServer->stop();
}

} // namespace

int main(int argc, char *argv[])
{
    std::string cert, key, signKey;
    int port = 8443;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--cert"))
            cert = argv[i + 1];
        else if (!std::strcmp(argv[i], "--key"))
            key = argv[i + 1];
        else if (!std::strcmp(argv[i], "--sign-key"))
            signKey = argv[i + 1];
        else if (!std::strcmp(argv[i], "--port"))
            port = std::atoi(argv[i + 1]);
    }
    if (cert.empty() || key.empty() || port <= 0) {
        std::fprintf(stderr, "usage: %s --cert CERT.pem --key KEY.pem [--sign-key KEY.pem] [--port 8443]\n", argv[0]);
        return 2;
    }

    httplib::SSLServer server(cert.c_str(), key.c_str());
    if (!server.is_valid()) {
        std::fprintf(stderr, "cannot load the certificate %s or the key %s\n", cert.c_str(), key.c_str());
        return 1;
    }

    server.Get("/", [](const httplib::Request &, httplib::Response &res) {
        res.set_redirect("/accounts/login");
    });
    server.Get("/accounts/login", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(loginPage(), "text/html; charset=utf-8");
    });
    server.Post("/accounts/login", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Set-Cookie", "session=demo; Path=/; HttpOnly; Secure");
        res.set_redirect("/invoices", 303);
    });
    server.Get("/invoices", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(invoicePage(invoiceCounter++), "text/html; charset=utf-8");
    });
    server.Get(R"(/reports/(.*))", [](const httplib::Request &req, httplib::Response &res) {
        std::vector<std::string> lines = {"Velmor Tarsila - demo report", "", "Report: " + req.matches[1].str()};
        for (const auto &param : req.params)
            lines.push_back(param.first + " = " + param.second);
        lines.push_back("Total turnover: 17,53 EUR");
        res.set_content(makePdf(lines), "application/pdf");
    });
    const std::string answer = R"({"version": 0, "files": []})"; // 0 is never newer than what is installed
    const std::string answerSignature = signKey.empty() ? std::string() : signature(signKey, answer);
    if (!signKey.empty() && answerSignature.empty()) {
        std::fprintf(stderr, "cannot sign with the key %s\n", signKey.c_str());
        return 1;
    }
    server.Get("/updates/checkForUpdates", [answer, answerSignature](const httplib::Request &, httplib::Response &res) {
        if (!answerSignature.empty())
            res.set_header("X-Update-Signature", answerSignature);
        res.set_content(answer, "application/json");
    });

    runningServer = &server;
    std::signal(SIGINT, stop);
    std::signal(SIGTERM, stop);

    std::printf("demo service on https://localhost:%d/ (Ctrl+C stops it)\n", port);
    std::fflush(stdout);
    if (!server.listen("127.0.0.1", port)) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    return 0;
}
