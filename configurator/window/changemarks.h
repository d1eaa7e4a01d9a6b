#pragma once

// The window's edits against what the device holds: every control whose value differs from the
// reference values is marked (the "changed" property and one colour in its palette) with the
// device's value in its tooltip, and a count beside the progress bar says how many are unwritten. The
// comparison runs once the event loop is idle after edits, not for each of them.

#include "changes.h"
#include "referencevalues.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QLabel;
class QWidget;

class ChangeMarks : public QObject
{
    Q_OBJECT

public:
    using Now = std::function<proto::DeviceConfig()>;                  // what a write would send
    using Boxes = std::function<QList<QWidget *>(const proto::Change &)>;   // the controls of a change
    ChangeMarks(QObject *parent, Now now, Boxes boxes);

    const proto::DeviceConfig *values() const { return reference.values(); }
    void read(const proto::DeviceConfig &c);
    void written(const proto::DeviceConfig &readBack, const QStringList &skipped);
    void forget();

    // The window's controls that differ from the reference values now (none without them).
    QList<proto::Change> changes() const;
    QLabel *countLabel() const { return count; }
    // Every edit of a box under `root` leads to a comparison.
    void watch(QWidget *root);

public slots:
    void schedule() { idle.start(); }

private:
    void update();

    ReferenceValues reference;
    Now now;
    Boxes boxes;
    QTimer idle;
    QLabel *count = nullptr;
    QList<QPointer<QWidget>> marked;
};
