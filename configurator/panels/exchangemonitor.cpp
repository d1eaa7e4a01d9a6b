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
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible && isHidden())   // closed, not a tab behind another
            giveHeightBack();
    });
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

// Placed when it shows, floating over a window already on the screen (set while hidden, the
// place would be the window manager's).
void ExchangeMonitor::showEvent(QShowEvent *event)
{
    QDockWidget::showEvent(event);
    placeFloating();
}

namespace {

// Room for what the window manager adds around a window: its title bar and borders.
constexpr int kTitle = 32;
constexpr int kBorder = 6;

QRect screenOf(const QWidget *widget)
{
    const QScreen *screen = widget->screen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

// Inside the screen; the first time over the window's lower part, its bottom above the
// window's progress and status bars (their tops, on the screen).
void ExchangeMonitor::placeFloating()
{
    auto *window = qobject_cast<QMainWindow *>(parent());
    const QRect a = screenOf(window);
    if (!window || a.isEmpty() || !isFloating())
        return;
    QRect g = geometry();
    if (m_placeFloating) {
        m_placeFloating = false;
        int bottom = a.bottom() - kBorder;
        for (const char *name : {"progressBar", "statusBar"}) {
            if (const QWidget *bar = window->findChild<QWidget *>(QLatin1String(name)))
                bottom = qMin(bottom, bar->mapToGlobal(QPoint(0, 0)).y() - kBorder);
        }
        const int height = qMax(minimumSizeHint().height(), a.height() / 3);
        g = QRect(a.x() + a.width() / 6, bottom - height, a.width() * 2 / 3, height);
    }
    // Within the screen, its title bar included.
    const QRect room = a.adjusted(kBorder, kTitle, -kBorder, -kBorder);
    g.setSize(g.size().boundedTo(room.size()));
    g.moveLeft(qBound(room.left(), g.left(), room.right() - g.width() + 1));
    g.moveTop(qBound(room.top(), g.top(), room.bottom() - g.height() + 1));
    setGeometry(g);
}

// Hidden, the panel gives back what the window grew by for it; the panels above take the rest.
void ExchangeMonitor::giveHeightBack()
{
    auto *window = qobject_cast<QMainWindow *>(parent());
    const int grown = m_grown;
    m_grown = 0;
    if (!window || grown <= 0 || isFloating() || window->isMaximized() || window->isFullScreen())
        return;
    window->resize(window->width(), qMax(window->minimumSizeHint().height(), window->height() - grown));
}

void ExchangeMonitor::restore(QMainWindow *window)
{
    UserSettings settings;
    settings.beginGroup(kGroup);
    hide();   // a floating panel shown here would open as a window before its place is known
    const auto area = Qt::DockWidgetArea(settings.value(QStringLiteral("area"), int(Qt::BottomDockWidgetArea)).toInt());
    window->addDockWidget(area == Qt::NoDockWidgetArea ? Qt::BottomDockWidgetArea : area, this);
    if (!settings.contains(QStringLiteral("floating"))) {
        // The first time it floats over the window's lower part, placed once the window is.
        setFloating(true);
        m_placeFloating = true;
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
    // Never past the screen's edge: what does not fit is taken from the panels, which scroll.
    const QRect a = screenOf(window);
    // Before the window manager has framed the window, its title bar is not in its geometry yet.
    const int top = qMax(window->geometry().top(), window->y() + kTitle);
    const QSize room = a.isEmpty() ? window->size() : QSize(a.right() - kBorder - window->x(), a.bottom() - kBorder - top);
    int grow = across ? want.height() - height() : want.width() - width();
    grow = qMin(grow, across ? room.height() - window->height() : room.width() - window->width());
    if (grow > 0) {
        window->resize(window->size() + (across ? QSize(0, grow) : QSize(grow, 0)));
        m_grown = across ? grow : 0;
    }
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
