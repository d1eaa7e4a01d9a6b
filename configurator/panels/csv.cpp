#include "csv.h"
#include "filedialog.h"
#include "plainbox.h"
#include "safefile.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

namespace csv {

QString fromModel(const QAbstractItemModel &model)
{
    QString text;
    QStringList fields;
    for (int c = 0; c < model.columnCount(); ++c)
        fields << model.headerData(c, Qt::Horizontal).toString();
    text += line(fields);
    for (int r = 0; r < model.rowCount(); ++r) {
        fields.clear();
        for (int c = 0; c < model.columnCount(); ++c)
            fields << model.index(r, c).data().toString();
        text += line(fields);
    }
    return text;
}

bool saveAs(QWidget *parent, const QString &suggestedName, const QString &text)
{
    // Offered among the user's documents, not in the working folder beside the log.
    const QString offered = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                .filePath(suggestedName);
    FileDialog dialog(parent, QStringLiteral("Сохранить CSV"), offered, QStringLiteral("Таблица CSV (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(offered);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().constFirst();
    const QString why = safefile::save(path, "\xEF\xBB\xBF" + text.toUtf8());
    if (why.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Сохранить CSV"),
                    QStringLiteral("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(path), why),
                    QMessageBox::Ok, parent);
    makePlain(box);
    box.exec();
    return false;
}

} // namespace csv
