#include "filedialog.h"

#include <QDateTime>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QScreen>
#include <QSplitter>
#include <QTreeView>

namespace {

enum Column { Name, Size, Type, Modified };

// The file system model's size and date columns, written in Russian form.
class RussianColumns : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || (index.column() != Size && index.column() != Modified))
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == Modified)
            return FileDialog::dateText(files->lastModified(source));
        return files->isDir(source) ? QString() : FileDialog::sizeText(files->size(source));
    }
};

} // namespace

FileDialog::FileDialog(QWidget *parent, const QString &caption, const QString &folder, const QString &filter)
    : QFileDialog(parent, caption, folder, filter)
{
    setOption(QFileDialog::DontUseNativeDialog);   // the platform's dialog would bring its own forms
    setProxyModel(new RussianColumns(this));
    setViewMode(QFileDialog::Detail);
    fitColumns();
}

QString FileDialog::dateText(const QDateTime &time)
{
    return time.isValid() ? time.toString(QStringLiteral("dd.MM.yyyy HH:mm")) : QString();
}

QString FileDialog::sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 Б").arg(bytes);
    return QLocale(QLocale::Russian, QLocale::Russia).formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// Columns at least as wide as their titles and the dates, the places beside them readable,
// the name taking the rest, in a dialog wide enough for them (within the screen).
void FileDialog::fitColumns()
{
    auto *view = findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!view)
        return;
    QHeaderView *header = view->header();
    const QFontMetrics text = view->fontMetrics(), title = header->fontMetrics();
    const int pad = 3 * title.horizontalAdvance(QLatin1Char('0'));
    const QString widest[] = {QString(), sizeText(1023 * 1024), QStringLiteral("Папка с файлами"),
                              dateText(QDateTime(QDate(2026, 12, 28), QTime(20, 58)))};
    int columns = 0;
    for (int c = Size; c <= Modified; ++c) {
        const int width = qMax(title.horizontalAdvance(header->model()->headerData(c, Qt::Horizontal).toString()),
                               text.horizontalAdvance(widest[c])) + pad;
        header->resizeSection(c, qMax(header->sectionSize(c), width));
        columns += header->sectionSize(c);
    }
    const int name = 36 * text.averageCharWidth(), places = 18 * text.averageCharWidth();
    header->resizeSection(Name, qMax(header->sectionSize(Name), name));
    if (auto *splitter = findChild<QSplitter *>(QStringLiteral("splitter")))
        splitter->setSizes({places, name + columns});
    QSize want(places + name + columns + 80, qMax(height(), 28 * text.height()));
    if (const QScreen *s = screen())
        want = want.boundedTo(s->availableGeometry().size() * 9 / 10);
    resize(want.expandedTo(size()));
}
