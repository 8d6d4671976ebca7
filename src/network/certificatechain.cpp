#include "certificatechain.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

X509 *toX509(const QSslCertificate &certificate)
{
    const QByteArray der = certificate.toDer();
    const auto *data = reinterpret_cast<const unsigned char *>(der.constData());
    return d2i_X509(nullptr, &data, der.size());
}

} // namespace

bool chainLeadsTo(const QList<QSslCertificate> &chain, const QList<QSslCertificate> &anchors)
{
    if (chain.isEmpty() || anchors.isEmpty())
        return false;
    const std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(), X509_STORE_free);
    for (const QSslCertificate &anchor : anchors) {
        X509 *x = toX509(anchor);
        if (x) {
            X509_STORE_add_cert(store.get(), x);
            X509_free(x);
        }
    }
    const std::unique_ptr<STACK_OF(X509), void (*)(STACK_OF(X509) *)> intermediates(
        sk_X509_new_null(), [](STACK_OF(X509) *stack) { sk_X509_pop_free(stack, X509_free); });
    for (int i = 1; i < chain.size(); ++i) {
        if (X509 *x = toX509(chain.at(i)))
            sk_X509_push(intermediates.get(), x);
    }
    const std::unique_ptr<X509, decltype(&X509_free)> leaf(toX509(chain.first()), X509_free);
    const std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> context(X509_STORE_CTX_new(),
                                                                                  X509_STORE_CTX_free);
    if (!leaf || !context || !X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), intermediates.get()))
        return false;
    // The build may trust the server's own certificate, or an intermediate.
    X509_VERIFY_PARAM_set_flags(X509_STORE_CTX_get0_param(context.get()), X509_V_FLAG_PARTIAL_CHAIN);
    return X509_verify_cert(context.get()) == 1;
}

bool certificateMatchesHost(const QSslCertificate &certificate, const QString &host)
{
    const std::unique_ptr<X509, decltype(&X509_free)> x(toX509(certificate), X509_free);
    if (!x || host.isEmpty())
        return false;
    const QByteArray name = host.toLatin1();
    if (X509_check_ip_asc(x.get(), name.constData(), 0) == 1)
        return true;
    return X509_check_host(x.get(), name.constData(), size_t(name.size()), 0, nullptr) == 1;
}

bool onlyUntrusted(const QList<QSslError> &errors)
{
    for (const QSslError &error : errors) {
        switch (error.error()) {
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::CertificateUntrusted:
            break;
        default:
            return false;
        }
    }
    return true;
}
