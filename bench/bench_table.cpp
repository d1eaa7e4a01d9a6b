// The transmitter data table: time to build and show the 256-row ResiverInfo dialog over the
// records a simulated receiver (firmware 221) holds, until its first expose has been handled
// (offscreen). The reference shows the same texts and colours in a plain QTableView whose
// QStandardItemModel is filled before the view gets it.

#include "benchutil.h"
#include "protocol.h"
#include "resiverinfo.h"
#include "simdevice.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMainWindow>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>

#include <functional>

namespace {

constexpr int kRows = 256;
constexpr int kRuns = 9;

// Shows the dialog and returns once its window is exposed and the events that showing it
// posted (layout, paint) have been handled.
void showAndSettle(QDialog *dialog)
{
    dialog->show();
    QCoreApplication::processEvents();
    while (!dialog->windowHandle() || !dialog->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

QDialog *referenceDialog(const QByteArray *records, QWidget *parent)
{
    auto *dialog = new QDialog(parent);
    auto *model = new QStandardItemModel(kRows, 8, dialog);
    for (int a = 0; a < kRows; ++a) {
        const auto r = proto::TransmitterRecord::parse(records[a]);
        QString text[8];
        text[0] = QString::number(a);
        if (r) {
            text[1] = QString::number(r->temperature);
            text[2] = QString::number(r->level);
            text[3] = QString::number(r->frequency);
            text[4] = proto::formatFrequency(r->fq1);
            text[5] = proto::formatFrequency(r->fq2);
            text[6] = proto::formatMillivolts(r->an1);
            text[7] = proto::formatMillivolts(r->an2);
        }
        for (int c = 0; c < 8; ++c) {
            auto *item = new QStandardItem(text[c]);
            item->setBackground(QBrush(r && !r->levelIsMarker() ? Qt::white : Qt::red));
            model->setItem(a, c, item);
        }
    }
    auto *view = new QTableView(dialog);
    view->setModel(model);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(view);
    dialog->resize(801, 480);
    return dialog;
}

double timeOne(const std::function<QDialog *()> &build)
{
    const std::int64_t t0 = bench::nowNs();
    QDialog *dialog = build();
    showAndSettle(dialog);
    const std::int64_t t1 = bench::nowNs();
    delete dialog;
    QCoreApplication::processEvents();
    return double(t1 - t0) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const sim::Device receiver(sim::Device::Receiver, 221);
    QByteArray records[kRows];
    for (int a = 0; a < kRows; ++a)
        records[a] = receiver.record(a);

    QMainWindow parent;
    parent.resize(400, 300);
    parent.show();

    const auto dialog = [&] {
        return static_cast<QDialog *>(new ResiverInfo(records, &parent, 221, 1, 2, 3, 4));
    };
    const auto reference = [&] { return referenceDialog(records, &parent); };
    std::vector<double> ms, refMs;
    for (int i = -1; i < kRuns; ++i) {   // the first pair warms up and is not counted
        const double a = timeOne(dialog);
        const double b = timeOne(reference);
        if (i >= 0) {
            ms.push_back(a);
            refMs.push_back(b);
        }
    }
    const double m = bench::median(ms), r = bench::median(refMs);
    bench::row("5 data table", "build and show ResiverInfo, 256 rows (median of "
                                   + std::to_string(kRuns) + ")",
               bench::fmt("%.1f ms", m), bench::fmt("%.1f ms", r) + " QTableView, model filled first",
               bench::ratioText(m, r));
    return 0;
}
