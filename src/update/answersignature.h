#pragma once

#include <QByteArray>
#include <QString>

// Whether `signatureBase64` is a valid Ed25519 signature of exactly `body`
// by the key of `publicKeyPem`. On false, `problem` (when given) says what
// was wrong, for the log.
bool answerSignatureValid(const QByteArray &publicKeyPem, const QByteArray &body, const QByteArray &signatureBase64,
                          QString *problem = nullptr);
