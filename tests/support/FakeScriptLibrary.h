#pragma once

#include "core/ports/ScriptLibraryProtocol.h"

#include <QCoreApplication>
#include <QMutex>
#include <QStringList>
#include <QThreadPool>

#include <atomic>

namespace hourloom::test {

// The browser that fake scripts talk to: its scripts answer with the URL the test shows, or fail
// to compile or to run as the test says. Scripts run on worker threads, so everything the test
// sets or reads is behind a lock.
class FakeBrowser {
public:
    void show(std::optional<QString> url) { set(url_, std::move(url)); }
    void failRuns(std::optional<QVariantMap> error) { set(runError_, std::move(error)); }
    void failCompile(std::optional<QVariantMap> error) { set(compileError_, std::move(error)); }
    QStringList sources() const { return get(sources_); }

    // Whether the library makes script objects at all.
    std::atomic<bool> refuseScripts = false;
    std::atomic<int> created = 0;
    std::atomic<int> compiled = 0;
    std::atomic<int> runs = 0;

    ScriptLibraryType libraryType()
    {
        return [this](const QString &source) -> std::shared_ptr<ScriptLibraryProtocol> {
            ++created;
            {
                const QMutexLocker lock(&mutex_);
                sources_ << source;
            }
            return refuseScripts ? nullptr : std::make_shared<Script>(*this);
        };
    }

private:
    class Response final : public ScriptLibraryResponseProtocol {
    public:
        explicit Response(std::optional<QString> text) : text_(std::move(text)) {}
        std::optional<QString> stringValue() const override { return text_; }

    private:
        std::optional<QString> text_;
    };

    class Script final : public ScriptLibraryProtocol {
    public:
        explicit Script(FakeBrowser &browser) : browser_(browser) {}
        bool compileAndReturnError(std::optional<QVariantMap> &error) override
        {
            ++browser_.compiled;
            error = browser_.get(browser_.compileError_);
            return !error;
        }
        std::shared_ptr<ScriptLibraryResponseProtocol> executeAndReturnError(std::optional<QVariantMap> &error) override
        {
            ++browser_.runs;
            error = browser_.get(browser_.runError_);
            return error ? nullptr : std::make_shared<Response>(browser_.get(browser_.url_));
        }

    private:
        FakeBrowser &browser_;
    };

    template <typename T>
    void set(T &field, T value)
    {
        const QMutexLocker lock(&mutex_);
        field = std::move(value);
    }
    template <typename T>
    T get(const T &field) const
    {
        const QMutexLocker lock(&mutex_);
        return field;
    }

    mutable QMutex mutex_;
    std::optional<QString> url_;
    std::optional<QVariantMap> runError_;
    std::optional<QVariantMap> compileError_;
    QStringList sources_;
};

// Lets every background script finish and applies what they posted to the main loop: the
// service's completion first, then whatever that completion posts in turn.
inline void finishScripts()
{
    for (int hop = 0; hop < 3; ++hop) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
    }
}

} // namespace hourloom::test
