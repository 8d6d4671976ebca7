#pragma once

#include "shellpage.h"

#include <memory>

class InvoiceRenderer;
class QWidget;

// Defined once per engine (src/engines/<engine>): the program and its tests
// name no engine type.

// Settles what the engine needs before the application object exists (a
// sandbox that cannot run as root, rendering without a GPU). Returns a line
// for the log when something was changed, empty otherwise.
QString prepareEngine();

// The engine's name and version, for --version and the log.
QString engineName();

std::unique_ptr<ShellPage> createShellPage(const PageSetup &setup, QWidget *parent);

// For printed invoices: only `setup.serviceOrigins` are reached, and an
// invoice's relative addresses are the first one's (the service's).
std::unique_ptr<InvoiceRenderer> createInvoiceRenderer(const PageSetup &setup);
