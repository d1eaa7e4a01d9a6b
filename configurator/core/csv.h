#pragma once

#include <QString>
#include <QStringList>

class QAbstractItemModel;
class QWidget;

// Tables saved for a spreadsheet: fields separated by ";" (what a spreadsheet in a Russian
// locale expects), a field quoted when it holds ";", a quote or a line end, lines ended by
// CR LF, the file in UTF-8 with a byte order mark so that Cyrillic headers open as such.
namespace csv {

QString line(const QStringList &fields);
// The header and every row of a table, as displayed.
QString fromModel(const QAbstractItemModel &model);
// Asks where to save (a file dialog offering `suggestedName`) and writes `text` there; a
// failure is told in a message box. False when nothing was written.
bool saveAs(QWidget *parent, const QString &suggestedName, const QString &text);

} // namespace csv
