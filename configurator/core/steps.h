#pragma once

// The sequencer's steps: for each, the progress bar on its request, where an answer leads,
// what a failure says and where "go on" leads. The read, the write and the write's read-back
// are read off this one table; the window only sends the requests and shows the boxes.

#include <QMetaType>
#include <QString>

enum class ActionType : quint8 {
    none = 0,
    readVersion = 1,
    readSetting = 2,
    setComandRegim = 3,
    readCHA = 4,
    readPower = 5,
    setDataRegim = 6,
    saveSimParam = 7,
    saveSimParam0 = 8,
    saveSimParam1 = 9,
    saveSimParam2 = 10,
    saveSimParam3 = 11,
    saveSimParam31 = 12,
    saveSimParam4 = 13,
    saveMassive = 14,
    saveSetting = 15,
    resiverInfo = 18,
    transmiterInfo = 19,
    readMassive = 20,
    checkSetting = 21,   // read-back of the settings after a write
    checkMassive = 22,   // read-back of the table after a write (above 220)
};

namespace steps {

enum class Operation { None, Read, Write, Poll, Measure };

// How often a step's request is repeated when it goes unanswered, shared by the steps of one
// operation part; the exchange log numbers a request's attempts from it.
constexpr quint8 kRetries = 5;

// How a write ended, in order of precedence from the last: the read-back confirmed every value
// (and every register was written, or some were passed over), found differences, could not be
// done; the technician said No before the table and the record left; the write was stopped;
// the port was lost (writereport.h).
enum class WriteResult { Checked, PassedOver, Differs, NotChecked, Cancelled, Stopped, Lost };

enum class OnFailure {
    Notice,     // OK box, then idle
    Question,   // Yes goes on (`onYes`), No ends
    GoOn,       // no box: on with `onYes`, the budget as it is
    Repeat,     // repeat up to `tries` requests, then the next number (a transmitter record in a poll)
    Ignore,     // nothing awaited: always on with `onAnswer`
    ReadBack,   // the write's check: ask whether to write again
};

struct Step
{
    Operation operation;
    int barMaximum;   // set on the request; 0 keeps it (-1: the write's, by version)
    int barValue;     // set on the request; -1 keeps it
    ActionType onAnswer;
    int answerBar;    // on an answer; -1 keeps it
    OnFailure failure;
    const char *text;   // notice or question
    ActionType onYes;
    int yesBar;       // after Yes; -1 keeps it
    int reg;          // the radio register the step writes, else 0
    int tries;        // Repeat: requests for one record before it is passed over
};

// What went wrong with a step's attempts, for the failure's box and the journal.
struct Trouble
{
    bool error = false;   // the module said ERROR
    bool late = false;    // bytes came after an attempt had timed out
    bool noise = false;   // bytes came within an attempt's time and made no reply
    int refused = -1;     // a record of this many bytes was refused
    int expected = 0;

    // In a few words: "ERROR", "лишние байты", "ответ опоздал", "не принято: 5 байт вместо 13",
    // "нет ответа".
    QString brief() const;
};

// A request as the technician reads it: an AT command's text, else the frame's bytes in hex.
QString requestText(const QByteArray &frame);

// The step's row. Where the next step depends on the firmware (the table is read and checked
// only above 220), `next` resolves it.
const Step &step(ActionType a);
ActionType next(ActionType after, quint16 version);
ActionType afterYes(ActionType after, quint16 version);

// The write's progress: nine steps and the read-back (one step, two above 220).
int writeBarMaximum(quint16 version);

// What the status bar says when an operation is stopped.
const char *stoppedText(Operation op);

} // namespace steps

Q_DECLARE_METATYPE(steps::WriteResult)
