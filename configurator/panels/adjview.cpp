#include "adjview.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QStandardItemModel>
#include <QStyle>

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
    // The header keeps rows no lower than its minimum section size, which the style derives
    // from the font (21 to 25 pixels): lowered first, the rows get their 15 pixels.
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);

    // Tall enough for every row: the header's own height comes from its size hint, since it
    // is not laid out before the view is shown.
    const int rowHeight = rows > 0 ? this->rowHeight(0) : 0;
    setFixedHeight(rows * rowHeight + horizontalHeader()->sizeHint().height() + 2);

    horizontalHeader()->setSectionsClickable(false);
    setFrameShape(QFrame::NoFrame);

    // Never so narrow that a column's share cuts its header ("Вход 1 Ч/Д, Гц"); the last
    // column also makes room for a vertical scroll bar, which covers its right end.
    const int last = qMin(percents.size(), labels.size()) - 1;
    int least = 0;
    for (int i = 0; i <= last; ++i) {
        int needed = horizontalHeader()->sectionSizeHint(i);
        if (i == last)
            needed += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        if (percents.at(i) > 0)
            least = qMax(least, (needed * 100 + percents.at(i) - 1) / percents.at(i));
    }
    setMinimumWidth(least);
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
