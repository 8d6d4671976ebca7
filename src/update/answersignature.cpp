#include "answersignature.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace {

template <typename T, void (*Free)(T *)>
struct Deleter
{
    void operator()(T *p) const { Free(p); }
};
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;

bool failWith(QString *problem, const char *text)
{
    if (problem)
        *problem = QString::fromUtf8(text);
    return false;
}

} // namespace

bool answerSignatureValid(const QByteArray &publicKeyPem, const QByteArray &body, const QByteArray &signatureBase64,
                          QString *problem)
{
    const Bio bio(BIO_new_mem_buf(publicKeyPem.constData(), int(publicKeyPem.size())));
    const Key key(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519)
        return failWith(problem, "javni ključ za provjeru potpisa nije Ed25519 ključ u PEM obliku");

    if (signatureBase64.trimmed().isEmpty())
        return failWith(problem, "odgovor nema zaglavlje X-Update-Signature");
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(signatureBase64.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 64)
        return failWith(problem, "zaglavlje X-Update-Signature nije Ed25519 potpis u base64 obliku");

    const DigestContext context(EVP_MD_CTX_new());
    const auto *signature = reinterpret_cast<const unsigned char *>(decoded.decoded.constData());
    const auto *data = reinterpret_cast<const unsigned char *>(body.constData());
    // Ed25519 signs the message itself: no digest of our choosing.
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1
        || EVP_DigestVerify(context.get(), signature, size_t(decoded.decoded.size()), data, size_t(body.size())) != 1)
        return failWith(problem, "potpis se ne podudara s odgovorom");
    return true;
}
