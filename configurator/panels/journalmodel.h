#pragma once

// The commissioning journal as a table: one row per line of "journal.csv", the newest first,
// under the program's own column titles. Lines of the first journals fill their seven columns;
// a line that does not parse is shown as it stands in the first column. A cell shows one line of
// text; its tooltip holds the whole text, as text even when it looks like markup.

#include "journal.h"

#include <QAbstractTableModel>
#include <QList>

class JournalModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit JournalModel(QObject *parent = nullptr);

    // Reads `path` anew.
    void setPath(const QString &path);
    QString path() const { return m_path; }
    // Reads the file again. Lines appended since come in at the top and the rows shown before
    // stay what they were (a selection keeps its line); a file changed otherwise is shown anew.
    void reload();
    // Why the file could not be read, empty when it could (or is not there yet).
    QString error() const { return m_error; }
    const journal::Line &line(int row) const { return m_lines.at(m_lines.size() - 1 - row); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString text(const journal::Line &l, int column) const;

    QString m_path;
    QString m_error;
    QList<journal::Line> m_lines;   // oldest first, as in the file
    QStringList m_titles;
};
