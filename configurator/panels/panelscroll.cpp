#include "panelscroll.h"

#include <QGridLayout>
#include <QScrollBar>

PanelScroll::PanelScroll(QWidget *parent)
    : QScrollArea(parent)
{
    setObjectName(QStringLiteral("panelScroll"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);   // the width always fits the panels
}

PanelScroll *PanelScroll::wrap(QGridLayout *outer, QLayout *panels)
{
    int row = 0, column = 0, rows = 1, columns = 1;
    const int index = outer->indexOf(panels);
    if (index < 0)
        return nullptr;
    outer->getItemPosition(index, &row, &column, &rows, &columns);
    outer->removeItem(panels);
    panels->setParent(nullptr);
    auto *holder = new QWidget;
    holder->setLayout(panels);
    auto *scroll = new PanelScroll;
    scroll->setWidget(holder);
    holder->setAutoFillBackground(false);
    // The window's own colour shows through, as it did behind the panels.
    scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(scroll, row, column, rows, columns);
    outer->setRowStretch(row, 1);
    return scroll;
}

QSize PanelScroll::sizeHint() const
{
    return widget() ? widget()->sizeHint() : QScrollArea::sizeHint();
}

int PanelScroll::leastHeight() const
{
    const int panels = widget() ? widget()->minimumSizeHint().height() : 0;
    return qMin(panels, 12 * fontMetrics().height());
}

QSize PanelScroll::minimumSizeHint() const
{
    if (!widget())
        return QScrollArea::minimumSizeHint();
    // Room for the vertical bar beside the panels, so that scrolling never cuts a text.
    return QSize(widget()->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width(), leastHeight());
}
