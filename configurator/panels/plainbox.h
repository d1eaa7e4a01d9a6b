#pragma once

#include <QLabel>
#include <QMessageBox>

// A box whose texts may carry what came from outside (a device's reply, a file name, a field
// of a profile) shows them as they are: "<img ...>" is text, never markup. Call it once the
// texts are set: the detail's label exists only after setInformativeText().
inline void makePlain(QMessageBox &box)
{
    const QList<QLabel *> labels = box.findChildren<QLabel *>();
    for (QLabel *label : labels)
        label->setTextFormat(Qt::PlainText);
}
