#include "exchangemonitor.h"
#include "usersettings.h"

#include "csv.h"
#include "exchangemodel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The window's layout belongs to the user: kept in the user's configuration, never beside
// "log.txt".
const QString kGroup = QStringLiteral("exchangeMonitor");

} // namespace

ExchangeMonitor::ExchangeMonitor(QMainWindow *window)
    : QDockWidget(QStringLiteral("Обмен с устройством"), window)
    , m_model(new ExchangeModel(this))
{
    setObjectName(QStringLiteral("exchangeMonitor"));
    toggleViewAction()->setShortcut(Qt::Key_F12);

    auto *contents = new QWidget;
    auto *buttons = new QHBoxLayout;
    m_pause = new QPushButton(QStringLiteral("Пауза"));
    m_pause->setCheckable(true);
    m_pause->setToolTip(QStringLiteral("Остановить таблицу; строки продолжают собираться"));
    auto *clear = new QPushButton(QStringLiteral("Очистить"));
    auto *copy = new QPushButton(QStringLiteral("Копировать"));
    copy->setToolTip(QStringLiteral("Копировать выделенные строки (Ctrl+C)"));
    auto *save = new QPushButton(QStringLiteral("Сохранить CSV…"));
    for (QPushButton *b : {m_pause, clear, copy, save})
        buttons->addWidget(b);
    buttons->addStretch();

    m_view = new QTableView;
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    // Fixed row heights and column widths: nothing is measured per row as thousands come in.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    const int digit = m_view->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const QFontMetrics header = m_view->horizontalHeader()->fontMetrics();
    const int widths[] = {7, 8, 2, 30, 16};   // in digits; never narrower than the caption
    for (int c = 0; c < int(sizeof widths / sizeof *widths); ++c) {
        const QString caption = m_model->headerData(c, Qt::Horizontal).toString();
        m_view->setColumnWidth(c, qMax(widths[c] * digit, header.horizontalAdvance(caption) + 2 * digit));
    }
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setMinimumHeight(10 * m_view->verticalHeader()->defaultSectionSize());

    auto *layout = new QVBoxLayout(contents);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(buttons);
    layout->addWidget(m_view);
    setWidget(contents);

    auto *copyAction = new QAction(QStringLiteral("Копировать"), m_view);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(copyAction);

    connect(m_pause, &QPushButton::toggled, m_model, &ExchangeModel::setPaused);
    connect(m_pause, &QPushButton::toggled, this, [this](bool paused) {
        m_pause->setText(paused ? QStringLiteral("Продолжить") : QStringLiteral("Пауза"));
    });
    connect(clear, &QPushButton::clicked, m_model, &ExchangeModel::clear);
    connect(copy, &QPushButton::clicked, this, &ExchangeMonitor::copySelection);
    connect(copyAction, &QAction::triggered, this, &ExchangeMonitor::copySelection);
    connect(save, &QPushButton::clicked, this, &ExchangeMonitor::saveCsv);
    // New rows are followed while the view stands at the last row; scrolled up, it stays put.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = m_view->verticalScrollBar();
        m_follow = m_scrollQueued || bar->value() == bar->maximum();
    });
    // One scroll for all the rows an event loop pass brings, not one per row.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_follow || m_scrollQueued)
            return;
        m_scrollQueued = true;
        QMetaObject::invokeMethod(this, [this] {
            m_scrollQueued = false;
            m_view->scrollToBottom();
        }, Qt::QueuedConnection);
    });

    restore(window);
    window->installEventFilter(this);
}

void ExchangeMonitor::copySelection() const
{
    QList<int> rows;
    for (const QModelIndex &i : m_view->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    if (!rows.isEmpty())
        QApplication::clipboard()->setText(m_model->copyText(rows));
}

void ExchangeMonitor::saveCsv()
{
    const QString name = QStringLiteral("обмен-%1.csv")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    csv::saveAs(this, name, m_model->csvText());
}

bool ExchangeMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Close)
        remember();
    else if (watched == parent() && event->type() == QEvent::Show && m_dockedSize.isValid())
        restoreDockedSize();
    return QDockWidget::eventFilter(watched, event);
}

void ExchangeMonitor::restore(QMainWindow *window)
{
    UserSettings settings;
    settings.beginGroup(kGroup);
    const auto area = Qt::DockWidgetArea(settings.value(QStringLiteral("area"), int(Qt::BottomDockWidgetArea)).toInt());
    window->addDockWidget(area == Qt::NoDockWidgetArea ? Qt::BottomDockWidgetArea : area, this);
    if (!settings.contains(QStringLiteral("floating"))) {
        // The first time it floats over the window's lower part: the window already fills a
        // laptop's screen, and a docked panel would push its bottom off it.
        setFloating(true);
        if (const QScreen *screen = window->screen()) {
            const QRect a = screen->availableGeometry();
            setGeometry(a.x() + a.width() / 6, a.bottom() - a.height() / 3, a.width() * 2 / 3, a.height() / 3 - 40);
        }
    } else if (settings.value(QStringLiteral("floating"), false).toBool()) {
        setFloating(true);
        restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    } else {
        m_dockedSize = settings.value(QStringLiteral("size")).toSize();   // given when the window shows
    }
    setVisible(settings.value(QStringLiteral("visible"), false).toBool());
}

// A docked panel gets its remembered depth once the window is laid out; the window grows by
// what the panel needs beyond its minimum rather than squeezing the panels above it.
void ExchangeMonitor::restoreDockedSize()
{
    auto *window = qobject_cast<QMainWindow *>(parent());
    const QSize want = m_dockedSize;
    m_dockedSize = QSize();
    if (!window || !want.isValid() || isHidden() || isFloating())
        return;
    const Qt::DockWidgetArea area = window->dockWidgetArea(this);
    const bool across = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    const int grow = across ? want.height() - height() : want.width() - width();
    if (grow > 0)
        window->resize(window->size() + (across ? QSize(0, grow) : QSize(grow, 0)));
    window->resizeDocks({this}, {across ? want.height() : want.width()}, across ? Qt::Vertical : Qt::Horizontal);
}

void ExchangeMonitor::remember()
{
    const auto *window = qobject_cast<const QMainWindow *>(parent());
    if (!window)
        return;
    UserSettings settings;
    settings.beginGroup(kGroup);
    settings.setValue(QStringLiteral("visible"), !isHidden());
    settings.setValue(QStringLiteral("floating"), isFloating());
    settings.setValue(QStringLiteral("area"), int(window->dockWidgetArea(this)));
    settings.setValue(QStringLiteral("size"), size());
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
}
