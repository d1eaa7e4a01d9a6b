#pragma once

#include "portlist.h"

#include <QComboBox>
#include <QVector>

class PortWatcher;

// The port list of both programs: the system's ports, each with its tooltip, and room to
// type a device path the system does not list. A new list never changes what the box shows:
// a typed path and the name of the open port stay as they are. The box follows the
// system's ports from its first paint on: listing them takes milliseconds the window's
// first appearance should not wait for.
class PortBox : public QComboBox
{
    Q_OBJECT

public:
    explicit PortBox(QWidget *parent = nullptr);

    void setPorts(const QVector<PortEntry> &ports);
    // Shows `name`: the listed port of that name or location, else the name as if typed.
    void select(const QString &name);
    // The device to open for what the box shows.
    QString location() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showToolTip();

    PortWatcher *portWatcher;
    bool following = false;
};
