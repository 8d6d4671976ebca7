#include "certificateanswer.h"

#include <QSslError>
#include <QWebEngineCertificateError>

namespace {

QSslError::SslError sslErrorOf(QWebEngineCertificateError::Type type)
{
    switch (type) {
    case QWebEngineCertificateError::CertificateAuthorityInvalid:
        return QSslError::UnableToGetLocalIssuerCertificate;
    case QWebEngineCertificateError::CertificateCommonNameInvalid:
        return QSslError::HostNameMismatch;
    case QWebEngineCertificateError::CertificateDateInvalid:
        return QSslError::CertificateExpired;
    case QWebEngineCertificateError::CertificateRevoked:
        return QSslError::CertificateRevoked;
    default:
        return QSslError::CertificateRejected;
    }
}

} // namespace

CertificateJudge::Verdict answerCertificateError(CertificateJudge &judge, const QWebEngineCertificateError &error)
{
    // The engine reports one error for the whole handshake.
    const QList<QSslCertificate> chain = error.certificateChain();
    const CertificateJudge::Verdict verdict =
        judge.judge(error.url(), chain, {QSslError(sslErrorOf(error.type()), chain.value(0))});
    QWebEngineCertificateError answer = error;
    if (verdict.accepted)
        answer.acceptCertificate();
    else
        answer.rejectCertificate();
    return verdict;
}
