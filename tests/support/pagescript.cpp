#include "pagescript.h"

#include <QTest>
#include <QWidget>

bool clickElement(ShellPage *page, const QString &selector)
{
    const QVariantList box =
        pageScript(page, QStringLiteral("(function () { var e = document.querySelector('%1'); if (!e) return [];"
                                        " var r = e.getBoundingClientRect();"
                                        " return [Math.round(r.left + r.width / 2), Math.round(r.top + r.height / 2)]; })()")
                             .arg(selector))
            .toList();
    QWidget *target = inputWidget(page);
    if (box.size() != 2 || !target)
        return false;
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(box.at(0).toInt(), box.at(1).toInt()));
    return true;
}
