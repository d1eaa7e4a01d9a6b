// The exchange monitor: the cost of one monitor row beside the cost of the log write it
// mirrors (a request block written and flushed to a file), and 10,000 rows appended to the
// shown monitor until they are painted, beside the same texts appended to a QStandardItemModel
// under a plain QTableView.

#include "benchutil.h"
#include "exchangelog.h"
#include "exchangemodel.h"
#include "exchangemonitor.h"

#include <QApplication>
#include <QMainWindow>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <functional>

namespace {

constexpr int kBlocks = 2000;
constexpr int kRuns = 9;
const QByteArray kRequest = QByteArray::fromHex("2109") + "ATS250?\r" + QByteArray::fromHex("04");

double perBlockUs(const std::function<void()> &one)
{
    const std::int64_t t0 = bench::nowNs();
    for (int i = 0; i < kBlocks; ++i)
        one();
    QCoreApplication::processEvents();
    return double(bench::nowNs() - t0) / 1e3 / kBlocks;
}

double fillMs(const std::function<void()> &fill)
{
    const std::int64_t t0 = bench::nowNs();
    fill();
    QCoreApplication::processEvents();
    return double(bench::nowNs() - t0) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;

    QMainWindow window;
    auto *monitor = new ExchangeMonitor(&window);
    monitor->show();
    window.resize(900, 600);
    window.show();
    QCoreApplication::processEvents();
    ExchangeModel *model = monitor->model();
    ExchangeLog log(dir.filePath(QStringLiteral("log.txt")));

    std::vector<double> row, write;
    for (int i = -1; i < kRuns; ++i) {   // the first pair warms up and is not counted
        model->clear();
        const double r = perBlockUs([&] { model->addBlock('0', kRequest); });
        const double w = perBlockUs([&] { log.writeRequest(kRequest, 5); });
        if (i >= 0) {
            row.push_back(r);
            write.push_back(w);
        }
    }
    const double r = bench::median(row), w = bench::median(write);
    bench::row("7 monitor", "one monitor row, shown (median of " + std::to_string(kRuns) + " × "
                                + std::to_string(kBlocks) + ")",
               bench::fmt("%.2f µs", r), bench::fmt("%.2f µs", w) + " the log block it mirrors",
               bench::ratioText(r, w));

    QTableView plain;
    plain.resize(900, 400);
    plain.show();
    std::vector<double> rows, reference;
    for (int i = -1; i < 5; ++i) {
        model->clear();
        const double a = fillMs([&] {
            for (int n = 0; n < ExchangeModel::kMaxRows; ++n)
                model->addBlock(n % 2 ? 0 : '0', kRequest);
        });
        auto *items = new QStandardItemModel(0, ExchangeModel::ColumnCount, &plain);
        plain.setModel(items);
        const double b = fillMs([&] {
            for (int n = 0; n < ExchangeModel::kMaxRows; ++n) {
                QList<QStandardItem *> cells;
                for (const QString &t : model->texts(n))
                    cells << new QStandardItem(t);
                items->appendRow(cells);
            }
        });
        delete items;
        if (i >= 0) {
            rows.push_back(a);
            reference.push_back(b);
        }
    }
    const double a = bench::median(rows), b = bench::median(reference);
    bench::row("7 monitor", "10,000 rows appended to the shown monitor (median of 5)", bench::fmt("%.1f ms", a),
               bench::fmt("%.1f ms", b) + " QStandardItemModel under a QTableView", bench::ratioText(a, b));
    return 0;
}
