#pragma once

#include <QList>
#include <QStringList>
#include <QTableView>

// A table view whose column widths are fixed percentages of its own width.
class adjview : public QTableView
{
    Q_OBJECT
public:
    adjview(int rows, const QStringList &labels, const QList<int> &percents,
            QWidget *parent = nullptr);

    void setColumnPercents(const QList<int> &percents);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QList<int> percents;
};
