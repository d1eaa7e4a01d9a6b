#include "adjview.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QStandardItemModel>

namespace {
constexpr int kRowHeight = 15;
}

adjview::adjview(int rows, const QStringList &labels, const QList<int> &percents,
                 QWidget *parent)
    : QTableView(parent)
{
    auto *model = new QStandardItemModel(rows, labels.size(), this);
    setModel(model);

    verticalHeader()->hide();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    setColumnPercents(percents);

    model->setHorizontalHeaderLabels(labels);
    // Qt keeps rows no lower than the style's minimum for the font, so the 15 pixels hold
    // only where the font allows them.
    verticalHeader()->setDefaultSectionSize(kRowHeight);

    // Tall enough for every row: the header's own height comes from its size hint, since it
    // is not laid out before the view is shown.
    const int rowHeight = rows > 0 ? this->rowHeight(0) : 0;
    setFixedHeight(rows * rowHeight + horizontalHeader()->sizeHint().height() + 2);

    horizontalHeader()->setSectionsClickable(false);
    setFrameShape(QFrame::NoFrame);
}

void adjview::setColumnPercents(const QList<int> &p)
{
    percents = p;
    const int w = width();
    for (int i = 0; i < percents.size(); ++i)
        setColumnWidth(i, percents.at(i) * w / 100);
}

// The columns keep their proportions whatever size the view is given.
void adjview::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    setColumnPercents(percents);
}
