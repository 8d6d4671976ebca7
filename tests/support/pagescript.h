#pragma once

#include <QString>
#include <QVariant>

class ShellPage;
class QWidget;

// Runs `script` in the page as one of the page's own scripts would, and
// returns its value; when the engine has not answered within `timeoutMs`,
// says so and returns an invalid value. Defined once per engine.
QVariant pageScript(ShellPage *page, const QString &script, int timeoutMs = 5000);

// The text and the markup of the document the page shows.
QString pageText(ShellPage *page);
QString pageHtml(ShellPage *page);

// Clicks the middle of the element `selector` names with the mouse, as the
// cashier would (the view must be shown); false when there is no such element.
bool clickElement(ShellPage *page, const QString &selector);

// The widget that takes the page's mouse and keys (the view must be shown).
QWidget *inputWidget(ShellPage *page);

// Kills the renderer processes this program started (none where the engine
// renders in the program's own process); how many there were.
int killRenderers();
