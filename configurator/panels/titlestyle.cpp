#include "titlestyle.h"

#include <QGroupBox>
#include <QStyleOptionGroupBox>

QRect TitleStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                                 SubControl subControl, const QWidget *widget) const
{
    QRect rect = QProxyStyle::subControlRect(control, option, subControl, widget);
    if (control == CC_GroupBox && subControl == SC_GroupBoxLabel) {
        if (const auto *box = qstyleoption_cast<const QStyleOptionGroupBox *>(option)) {
            const int needed = box->fontMetrics.horizontalAdvance(box->text + QLatin1Char(' '));
            if (rect.width() < needed)
                rect.setWidth(qMin(needed, option->rect.right() - rect.left()));
        }
    }
    return rect;
}

void TitleStyle::fitTitles(QWidget *window)
{
    auto *style = new TitleStyle;
    style->setParent(window);
    for (QGroupBox *box : window->findChildren<QGroupBox *>())
        box->setStyle(style);
}
