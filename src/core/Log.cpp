#include "Log.h"

#include <QMutex>

#include <cstdio>

namespace hourloom {

// Debug traces are off unless QT_LOGGING_RULES switches them on.
Q_LOGGING_CATEGORY(lcAgent, "hourloom.agent", QtInfoMsg)
Q_LOGGING_CATEGORY(lcConfiguration, "hourloom.configuration", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDesktop, "hourloom.desktop", QtInfoMsg)
Q_LOGGING_CATEGORY(lcIdle, "hourloom.idle", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUpload, "hourloom.upload", QtInfoMsg)
Q_LOGGING_CATEGORY(lcOutbox, "hourloom.outbox", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCredentials, "hourloom.credentials", QtInfoMsg)
Q_LOGGING_CATEGORY(lcErrors, "hourloom.errors", QtInfoMsg)

// Where the handler's lines go: the process's streams, or the newest capture. Lines come from
// any thread (browser scripts report from the worker pool).
struct LogSink {
    static QMutex &mutex()
    {
        static QMutex value;
        return value;
    }
    static LogCapture *&capture()
    {
        static LogCapture *value = nullptr;
        return value;
    }

    static void write(FILE *stream, const QString &line)
    {
        const QMutexLocker lock(&mutex());
        if (LogCapture *const current = capture()) {
            (stream == stdout ? current->standardOutput_ : current->standardError_) += line;
            return;
        }
        // One write a line, so that lines of different threads never interleave; flushed at
        // once, so that standard output and standard error keep their order for a reader.
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
        std::fflush(stream);
    }
};

namespace {

QtMessageHandler qtHandler = nullptr;

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArrayView category(context.category ? context.category : "");
    if (!category.startsWith("hourloom.")) {
        qtHandler(type, context, message);
        return;
    }
    switch (type) {
    case QtInfoMsg:
        LogSink::write(stdout, message + QLatin1Char('\n'));
        return;
    case QtDebugMsg:
        LogSink::write(stderr, QString::fromLatin1(category) + QStringLiteral(": ") + message + QLatin1Char('\n'));
        return;
    default:
        LogSink::write(stderr, message + QLatin1Char('\n'));
        return;
    }
}

// Installed before main() in every program that links the categories, so the agent, its tests,
// probes and benchmarks all print alike, whichever of them forgets to ask.
const bool handlerInstalled = [] {
    qtHandler = qInstallMessageHandler(handleMessage);
    return true;
}();

} // namespace

void logLine(LoggingCategory category, const QString &line)
{
    if (category().isInfoEnabled())
        QMessageLogger(nullptr, 0, nullptr, category().categoryName()).info().noquote() << line;
}

void logError(LoggingCategory category, const QString &line)
{
    if (category().isWarningEnabled())
        QMessageLogger(nullptr, 0, nullptr, category().categoryName()).warning().noquote() << line;
}

LogCapture::LogCapture()
{
    const QMutexLocker lock(&LogSink::mutex());
    previous_ = std::exchange(LogSink::capture(), this);
}

LogCapture::~LogCapture()
{
    const QMutexLocker lock(&LogSink::mutex());
    LogSink::capture() = previous_;
}

QString LogCapture::standardOutput() const
{
    const QMutexLocker lock(&LogSink::mutex());
    return standardOutput_;
}

QString LogCapture::standardError() const
{
    const QMutexLocker lock(&LogSink::mutex());
    return standardError_;
}

} // namespace hourloom
