#include "journalmodel.h"

#include <QColor>
#include <QTextDocument>

JournalModel::JournalModel(QObject *parent) : QAbstractTableModel(parent), m_titles(journal::columns()) {}

void JournalModel::setPath(const QString &path)
{
    beginResetModel();
    m_path = path;
    m_lines = journal::read(path, &m_error);
    endResetModel();
}

void JournalModel::reload()
{
    const QList<journal::Line> lines = journal::read(m_path, &m_error);
    bool appended = lines.size() >= m_lines.size();
    for (int i = 0; appended && i < m_lines.size(); ++i)
        appended = lines.at(i).raw == m_lines.at(i).raw;
    if (!appended) {
        beginResetModel();
        m_lines = lines;
        endResetModel();
        return;
    }
    if (lines.size() == m_lines.size())
        return;
    beginInsertRows(QModelIndex(), 0, lines.size() - m_lines.size() - 1);
    m_lines = lines;
    endInsertRows();
}

int JournalModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_lines.size();
}

int JournalModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_titles.size();
}

QString JournalModel::text(const journal::Line &l, int column) const
{
    if (!l.parsed)
        return column == 0 ? l.raw : QString();
    return l.cells.value(column);
}

QVariant JournalModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return QVariant();
    const journal::Line &l = line(index.row());
    const QString whole = text(l, index.column());
    switch (role) {
    case Qt::DisplayRole: {
        // One line in the cell: the line breaks of a cause or of a broken line as " ↵ ".
        QString shown = whole;
        shown.replace(QLatin1String("\r\n"), QLatin1String(" ↵ ")).replace(QLatin1Char('\n'), QLatin1String(" ↵ "));
        return shown.replace(QLatin1Char('\r'), QLatin1String(" ↵ "));
    }
    case Qt::ToolTipRole:
        if (!l.parsed)
            return Qt::convertFromPlainText(QStringLiteral("Строка не разобрана, показана как есть:\n") + l.raw);
        return whole.isEmpty() ? QVariant() : Qt::convertFromPlainText(whole);
    case Qt::BackgroundRole:
        return l.parsed ? QVariant() : QVariant(QColor(255, 225, 225));
    default:
        return QVariant();
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_titles.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
