#pragma once

#include <QLoggingCategory>
#include <QString>

// The agent's one way to print. Each subsystem logs through a category of its own:
//
// - logLine(category, text) says one of the system's own lines, exactly as given, on standard
//   output; logError(category, text) on standard error. Nobody reads them but a person or the
//   tests, so they are the whole diagnostic record: there is no log file.
// - qCDebug(category) << ... is a trace of why something happened. Traces are off unless
//   switched on, for example QT_LOGGING_RULES="hourloom.*.debug=true" or "hourloom.upload.debug=true";
//   they go to standard error, each behind its category's name.
//
// Qt's own messages keep going where Qt sends them.
namespace hourloom {

Q_DECLARE_LOGGING_CATEGORY(lcAgent)         // hourloom.agent: start-up, one agent per desktop, the tray
Q_DECLARE_LOGGING_CATEGORY(lcConfiguration) // hourloom.configuration: faults of the configuration document
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)       // hourloom.desktop: which backend serves the desktop, and its losses
Q_DECLARE_LOGGING_CATEGORY(lcIdle)          // hourloom.idle: the user going idle and coming back
Q_DECLARE_LOGGING_CATEGORY(lcUpload)        // hourloom.upload: what each upload sent, kept and dropped
Q_DECLARE_LOGGING_CATEGORY(lcOutbox)        // hourloom.outbox: the durable store of ended sessions
Q_DECLARE_LOGGING_CATEGORY(lcCredentials)   // hourloom.credentials: the credential store
Q_DECLARE_LOGGING_CATEGORY(lcErrors)        // hourloom.errors: crash reporting and the errors it is handed

// A category as the macros above declare it, and as qCDebug takes it.
using LoggingCategory = const QLoggingCategory &(*)();

// One line of the system's own on standard output.
void logLine(LoggingCategory category, const QString &line);
// One line about a failure on standard error.
void logError(LoggingCategory category, const QString &line);

// While one lives, the lines the message handler would write to standard output and standard
// error collect here instead: for tests of what the agent says. The latest one made takes them.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // Every line so far, each ending in a line feed.
    QString standardOutput() const;
    QString standardError() const;

private:
    friend struct LogSink;
    LogCapture *previous_;
    QString standardOutput_;
    QString standardError_;
};

} // namespace hourloom
