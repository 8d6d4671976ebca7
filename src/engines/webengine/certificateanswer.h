#pragma once

#include "certificatejudge.h"

class QWebEngineCertificateError;

// Answers the engine's certificate error as `judge` decides, for the page and
// the printed invoice alike, and says what was decided.
CertificateJudge::Verdict answerCertificateError(CertificateJudge &judge, const QWebEngineCertificateError &error);
