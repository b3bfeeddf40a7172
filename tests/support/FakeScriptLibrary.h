#pragma once

#include "core/ports/ScriptLibraryProtocol.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThreadPool>
#include <QStringList>

#include <atomic>

namespace hourloom::test {

// A script result carrying the text the test chose.
class FakeScriptResponse final : public ScriptLibraryResponseProtocol {
public:
    explicit FakeScriptResponse(std::optional<QString> text)
        : text_(std::move(text))
    {
    }
    std::optional<QString> stringValue() const override { return text_; }

private:
    std::optional<QString> text_;
};

// The browser a fake script talks to. Scripts run on worker threads, so everything the test
// sets or reads is behind a lock.
class FakeBrowser {
public:
    void show(std::optional<QString> url)
    {
        QMutexLocker lock(&mutex_);
        url_ = std::move(url);
    }
    void failRuns(std::optional<QVariantMap> error)
    {
        QMutexLocker lock(&mutex_);
        runError_ = std::move(error);
    }
    void failCompile(std::optional<QVariantMap> error)
    {
        QMutexLocker lock(&mutex_);
        compileError_ = std::move(error);
    }
    // Whether the library makes script objects at all.
    std::atomic<bool> refuseScripts = false;

    std::atomic<int> created = 0;
    std::atomic<int> compiled = 0;
    std::atomic<int> runs = 0;
    QStringList sources() const
    {
        QMutexLocker lock(&mutex_);
        return sources_;
    }

    ScriptLibraryType libraryType();

private:
    friend class FakeScript;
    mutable QMutex mutex_;
    std::optional<QString> url_;
    std::optional<QVariantMap> runError_;
    std::optional<QVariantMap> compileError_;
    QStringList sources_;
};

// A script object whose runs answer with what its browser shows.
class FakeScript final : public ScriptLibraryProtocol {
public:
    explicit FakeScript(FakeBrowser &browser)
        : browser_(browser)
    {
    }

    bool compileAndReturnError(std::optional<QVariantMap> &error) override
    {
        ++browser_.compiled;
        QMutexLocker lock(&browser_.mutex_);
        error = browser_.compileError_;
        return !error;
    }

    std::shared_ptr<ScriptLibraryResponseProtocol> executeAndReturnError(std::optional<QVariantMap> &error) override
    {
        ++browser_.runs;
        QMutexLocker lock(&browser_.mutex_);
        error = browser_.runError_;
        return error ? nullptr : std::make_shared<FakeScriptResponse>(browser_.url_);
    }

private:
    FakeBrowser &browser_;
};

inline ScriptLibraryType FakeBrowser::libraryType()
{
    return [this](const QString &source) -> std::shared_ptr<ScriptLibraryProtocol> {
        ++created;
        {
            QMutexLocker lock(&mutex_);
            sources_ << source;
        }
        if (refuseScripts)
            return nullptr;
        return std::make_shared<FakeScript>(*this);
    };
}

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
