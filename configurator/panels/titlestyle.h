#pragma once

#include <QProxyStyle>

class QWidget;

// Group box titles in full. The Fusion style sizes a title's place by other metrics than
// the font it draws the title in, so a long title ("Настройки радиосвязи 868.025 (МГц)")
// loses its last character; this style gives the title at least the width its font needs.
class TitleStyle : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                         SubControl subControl, const QWidget *widget) const override;

    // Gives every group box under `window` this style (a style does not pass to children).
    static void fitTitles(QWidget *window);
};
