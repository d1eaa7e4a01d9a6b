#include "journalwindow.h"

#include "history.h"
#include "journalmodel.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

JournalWindow::JournalWindow(const QString &path, QWidget *parent)
    : QWidget(parent, Qt::Window), m_model(new JournalModel(this)), m_filtered(new QSortFilterProxyModel(this)),
      m_watcher(new QFileSystemWatcher(this)), m_folder(new QLabel), m_state(new QLabel), m_filter(new QLineEdit),
      m_table(new QTableView), m_changes(new QPlainTextEdit),
      m_undo(new QPushButton(QStringLiteral("Вернуть прежние значения")))
{
    setWindowTitle(QStringLiteral("Журнал записи"));
    resize(1000, 560);

    // The path as text to copy: it helps where no file manager is at hand.
    m_folder->setTextFormat(Qt::PlainText);
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_folder->setText(QStringLiteral("Папка: %1").arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath())));
    auto *open = new QPushButton(QStringLiteral("Открыть папку"));
    connect(open, &QPushButton::clicked, this, &JournalWindow::openFolder);
    m_state->setTextFormat(Qt::PlainText);

    m_filter->setPlaceholderText(QStringLiteral("Фильтр: текст в любом столбце"));
    m_filter->setClearButtonEnabled(true);
    m_filtered->setSourceModel(m_model);
    m_filtered->setFilterKeyColumn(-1);
    m_filtered->setFilterCaseSensitivity(Qt::CaseInsensitive);
    connect(m_filter, &QLineEdit::textChanged, m_filtered, &QSortFilterProxyModel::setFilterFixedString);

    m_table->setModel(m_filtered);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setWordWrap(false);   // a long cell ends in "…"; its tooltip holds it whole
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    m_changes->setReadOnly(true);
    m_changes->setMaximumHeight(140);
    m_changes->setPlaceholderText(QStringLiteral("Выберите строку: здесь появится, что изменила запись"));
    m_undo->setToolTip(QStringLiteral("Считать подключённое устройство и, если оно хранит записанные этой строкой "
                                      "значения, вернуть в окно значения до записи. Записываются они кнопкой «Записать»"));
    connect(m_undo, &QPushButton::clicked, this, [this] {
        if (const journal::Line *l = selectedLine())
            emit undoRequested(*l);
    });

    auto *top = new QHBoxLayout;
    top->addWidget(m_folder, 1);
    top->addWidget(open);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_state, 1);
    bottom->addWidget(m_undo);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_filter);
    layout->addWidget(m_table, 1);
    layout->addWidget(new QLabel(QStringLiteral("Что изменила запись:")));
    layout->addWidget(m_changes);
    layout->addLayout(bottom);

    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &JournalWindow::showSelected);
    connect(m_model, &QAbstractItemModel::modelReset, this, &JournalWindow::showSelected);
    // The file and its folder: an append changes the file, a first write or a file put back in
    // place changes the folder.
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &JournalWindow::fileChanged);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &JournalWindow::fileChanged);
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_watcher->addPath(QFileInfo(path).absolutePath());
    m_model->setPath(path);
    fileChanged();
    // Short columns whole, long ones up to a width where the tooltip takes over.
    m_table->resizeColumnsToContents();
    for (int c = 0; c < m_model->columnCount(); ++c)
        m_table->setColumnWidth(c, qMin(m_table->columnWidth(c), 260));
}

const journal::Line *JournalWindow::selectedLine() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    return &m_model->line(m_filtered->mapToSource(rows.constFirst()).row());
}

void JournalWindow::selectRow(int row)
{
    m_table->selectRow(m_filtered->mapFromSource(m_model->index(row, 0)).row());
}

QString JournalWindow::changesText() const
{
    return m_changes->toPlainText();
}

void JournalWindow::fileChanged()
{
    const QString path = m_model->path();
    if (QFileInfo::exists(path) && !m_watcher->files().contains(path))
        m_watcher->addPath(path);   // new, or replaced by a copy
    m_model->reload();
    updateState();
}

void JournalWindow::updateState()
{
    if (!m_model->error().isEmpty())
        m_state->setText(QStringLiteral("Журнал не читается: %1").arg(m_model->error()));
    else if (!QFileInfo::exists(m_model->path()))
        m_state->setText(QStringLiteral("Журнала ещё нет: запись в устройство его начнёт"));
    else
        m_state->setText(QStringLiteral("Записей: %1").arg(m_model->rowCount()));
}

void JournalWindow::openFolder()
{
    const QString folder = QFileInfo(m_model->path()).absolutePath();
    QDir().mkpath(folder);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        m_state->setText(QStringLiteral("Папку открыть не удалось: откройте её по пути вверху окна"));
}

void JournalWindow::showSelected()
{
    const journal::Line *l = selectedLine();
    history::Pair pair;
    const QString why = l ? history::readPair(*l, pair) : QStringLiteral("не выбрана строка");
    m_changes->setPlainText(l ? history::changesOf(why, pair).join(QLatin1Char('\n')) : QString());
    m_undo->setEnabled(why.isEmpty());
}
