#pragma once

#include <QFileDialog>

// Qt's own file dialog in the form a Russian user reads: modification dates as "07.12.2026
// 17:52" and sizes as "1,2 КБ" whatever the system's locale (Qt's dialog formats them with the
// system's, which is often C), and a size at which no column title is cut.
class FileDialog : public QFileDialog
{
    Q_OBJECT
public:
    FileDialog(QWidget *parent, const QString &caption, const QString &folder, const QString &filter);

    // The dialog's date and size as they are shown.
    static QString dateText(const QDateTime &time);
    static QString sizeText(qint64 bytes);

private:
    void fitColumns();
};
