#include "certificatejudge.h"

#include "certificatechain.h"
#include "trustedhosts.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

const char refusalProperty[] = "velmorCertificateRefusal";

QString tr(const char *text)
{
    return QCoreApplication::translate("TrustingNetworkManager", text);
}

QString certificateChanged(const QString &hostPort, const QString &recorded, const QString &presented,
                           const QString &file)
{
    return tr("Certifikat poslužitelja %1 nije onaj koji je zapamćen, pa je veza odbijena: netko bi mogao "
              "presretati promet. Zapamćeni otisak (SHA-256): %2. Predstavljeni otisak: %3. "
              "Ako IT podrška potvrdi da je novi certifikat ispravan, neka iz datoteke %4 izbriše redak "
              "koji počinje s „%1=”; novi će se certifikat zapamtiti pri sljedećem učitavanju.")
        .arg(hostPort, recorded, presented, QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()));
}

QString incompleteEntry(const QString &hostPort, const QString &file)
{
    return tr("Zapis poslužitelja %1 u datoteci %2 nije potpun (nema certifikata koji odgovara otisku), pa je veza "
              "odbijena. Neka IT podrška izbriše redak koji počinje s „%1=”; certifikat će se zapamtiti pri "
              "sljedećem učitavanju.")
        .arg(hostPort, QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()));
}

QString notVouchedFor(const QString &hostPort, const QString &presented)
{
    return tr("Certifikat poslužitelja %1 ne potvrđuje ni sustav ni ovaj program, pa je veza odbijena: "
              "to možda nije pravi poslužitelj. Predstavljeni otisak (SHA-256): %2.")
        .arg(hostPort, presented);
}

} // namespace

CertificateJudge::CertificateJudge(const QString &trustedHostsFile, const QByteArray &trustedPem)
    : trustedHostsFile(trustedHostsFile)
    , buildCertificates(QSslCertificate::fromData(trustedPem, QSsl::Pem))
{
}

QList<QSslCertificate> CertificateJudge::authoritiesFor(const QString &hostPort)
{
    QList<QSslCertificate> trusted;
    if (vouchedByBuild.contains(hostPort))
        trusted = buildCertificates;
    if (!firstUseHost.isEmpty() && hostPort == firstUseHost && !recordedCertificate().isNull())
        trusted.append(recorded);
    return trusted;
}

QSslCertificate CertificateJudge::recordedCertificate()
{
    const QFileInfo file(trustedHostsFile);
    const QDateTime changed = file.exists() ? file.lastModified() : QDateTime();
    if (changed != recordedAt || recordedAt.isNull()) {
        recordedAt = changed;
        recorded = TrustedHosts(trustedHostsFile).certificateOf(firstUseHost);
    }
    return recorded;
}

CertificateJudge::Verdict CertificateJudge::judge(const QUrl &url, const QList<QSslCertificate> &chain,
                                                  const QList<QSslError> &errors)
{
    QSslCertificate presented = chain.value(0);
    for (int i = 0; presented.isNull() && i < errors.size(); ++i)
        presented = errors.at(i).certificate();
    const TrustedHosts hosts(trustedHostsFile);
    const QString where = TrustedHosts::hostPort(url);
    if (presented.isNull()) {
        const QString problem = tr("Poslužitelj %1 nije predstavio certifikat; veza je odbijena").arg(where);
        qWarning().noquote() << problem;
        return {false, problem};
    }

    // Trust alone was missing: the build's certificates, or (for a host asked
    // with a list of our own) the system's authorities, may vouch for it.
    // A web engine may report a wrong name as a missing authority alone: the
    // name is checked here whatever was reported.
    if (onlyUntrusted(errors) && certificateMatchesHost(presented, url.host())) {
        if (chainLeadsTo(chain, buildCertificates)) {
            vouchedByBuild.insert(where);
            return {true, QString()};
        }
        if ((vouchedByBuild.contains(where) || where == firstUseHost)
            && QSslCertificate::verify(chain, url.host()).isEmpty())
            return {true, QString()};
    }

    const QString seen = TrustedHosts::fingerprint(presented);
    if (where != firstUseHost) {
        // Nothing is recorded for a host that may not be trusted on first use.
        const QString problem = notVouchedFor(where, seen);
        qWarning().noquote() << "Veza odbijena:" << url.toString(QUrl::RemoveUserInfo) << "-" << problem;
        return {false, problem};
    }
    const QString recordedPrint = hosts.fingerprintOf(where);
    if (recordedPrint.isEmpty()) {
        if (hosts.record(where, presented))
            qWarning().noquote() << "Certifikat poslužitelja" << where
                                 << "nije potvrđen od sustava; prihvaćen je pri prvoj uporabi i zapamćen:" << seen;
        else
            qWarning().noquote() << "Certifikat poslužitelja" << where << "prihvaćen je pri prvoj uporabi (" << seen
                                 << "), ali se ne može zapamtiti u" << hosts.path();
        return {true, QString()};
    }
    // A line written by hand counts only with the certificate it names: the
    // page's synchronous requests trust that certificate before they go, and
    // must decide as the page does.
    if (hosts.certificateOf(where).isNull()) {
        const QString problem = incompleteEntry(where, hosts.path());
        qWarning().noquote() << "Veza odbijena:" << url.toString(QUrl::RemoveUserInfo) << "-" << problem;
        return {false, problem};
    }
    if (recordedPrint == seen)
        return {true, QString()}; // the one recorded, expired or not
    const QString problem = certificateChanged(where, recordedPrint, seen, hosts.path());
    qWarning().noquote() << "Veza odbijena:" << url.toString(QUrl::RemoveUserInfo) << "-" << problem;
    return {false, problem};
}
