#include "portbox.h"

#include "portwatcher.h"

#include <QSignalBlocker>
#include <QTimer>

PortBox::PortBox(QWidget *parent)
    : QComboBox(parent)
    , portWatcher(new PortWatcher(this))
{
    setEditable(true);   // a device path the system does not list can be typed in
    setInsertPolicy(QComboBox::NoInsert);
    setMinimumContentsLength(14);
    connect(this, &QComboBox::currentTextChanged, this, &PortBox::showToolTip);
    connect(portWatcher, &PortWatcher::portsChanged, this, &PortBox::setPorts);
}

void PortBox::paintEvent(QPaintEvent *event)
{
    QComboBox::paintEvent(event);
    if (!following) {
        following = true;
        QTimer::singleShot(0, portWatcher, &PortWatcher::start);
    }
}

void PortBox::setPorts(const QVector<PortEntry> &ports)
{
    const QString shown = currentText();
    {
        // Only the items change, not the choice: nobody needs to hear of it.
        const QSignalBlocker quiet(this);
        clear();
        for (const PortEntry &port : ports) {
            addItem(port.name, port.location);
            setItemData(count() - 1, portToolTip(port), Qt::ToolTipRole);
        }
        // Nothing chosen yet: the first port that comes is the likely one.
        if (!shown.isEmpty())
            select(shown);
    }
    showToolTip();
}

void PortBox::select(const QString &name)
{
    int i = findText(name);
    if (i < 0)
        i = findData(name);
    setCurrentIndex(i);
    if (i < 0)
        setEditText(name);
}

QString PortBox::location() const
{
    const QString text = currentText().trimmed();
    const int i = findText(text);
    if (i < 0)
        return text;   // a typed path such as /dev/pts/5
#ifdef Q_OS_WIN
    // The device-namespace form also reaches COM10 and above.
    return QStringLiteral("\\\\.\\") + text;
#else
    return itemData(i).toString();
#endif
}

void PortBox::showToolTip()
{
    const int i = findText(currentText());
    setToolTip(i >= 0 ? itemData(i, Qt::ToolTipRole).toString() : QString());
}
