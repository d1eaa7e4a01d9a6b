#pragma once

// The configurator's own diagnostic lines (what it sends, what it takes, which step runs):
// category "talver.trace", off by default. `--trace` or
// QT_LOGGING_RULES="talver.trace.debug=true" turns them on.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcTrace)

// The rule `--trace` sets before the window is built.
void enableTrace();
