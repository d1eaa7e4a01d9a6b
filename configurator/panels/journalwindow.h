#pragma once

// The commissioning journal in a window of its own: the folder it lives in (and a button that
// asks the desktop to open it), a filter over every column, the lines newest first, and below
// them what the selected write changed, from the pair of history files it names. The window
// follows the file while it is open: another configurator may append to it. "Вернуть прежние
// значения" asks for the selected write to be undone; who does it listens to undoRequested.

#include "journal.h"

#include <QWidget>

class JournalModel;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

class JournalWindow : public QWidget
{
    Q_OBJECT

public:
    JournalWindow(const QString &path, QWidget *parent = nullptr);

    JournalModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }
    // The selected line, nullptr for none.
    const journal::Line *selectedLine() const;
    // Selects the row showing line `row` of the model (0 the newest).
    void selectRow(int row);
    QString changesText() const;

signals:
    void undoRequested(const journal::Line &line);

private:
    void fileChanged();
    void openFolder();
    void showSelected();
    void updateState();

    JournalModel *m_model;
    QSortFilterProxyModel *m_filtered;
    QFileSystemWatcher *m_watcher;
    QLabel *m_folder, *m_state;
    QLineEdit *m_filter;
    QTableView *m_table;
    QPlainTextEdit *m_changes;
    QPushButton *m_undo;
};
