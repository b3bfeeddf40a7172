#include "AppcastUpdater.h"

#include "AppcastFeed.h"
#include "VersionComparator.h"

#include <QPointer>

namespace hourloom {

AppcastUpdater::AppcastUpdater(std::shared_ptr<URLSessionProtocol> session, std::optional<QUrl> feedURL, QString currentVersion,
                               std::shared_ptr<UpdatePresenterProtocol> presenter, UpdateLinkPolicy links, QObject *parent)
    : session_(std::move(session))
    , feedURL_(std::move(feedURL))
    , currentVersion_(std::move(currentVersion))
    , presenter_(std::move(presenter))
    , links_(links)
{
    setParent(parent);
}

bool AppcastUpdater::canCheckForUpdates() const
{
    return canCheckForUpdates_;
}

void AppcastUpdater::checkForUpdates()
{
    check();
}

void AppcastUpdater::setCanCheckForUpdates(bool canCheck)
{
    if (canCheckForUpdates_ == canCheck)
        return;
    canCheckForUpdates_ = canCheck;
    emit canCheckForUpdatesChanged(canCheck);
}

QCoro::Task<void> AppcastUpdater::check()
{
    if (!canCheckForUpdates_)
        co_return;
    if (!feedURL_) {
        presenter_->showFailure(UpdateCheckFailure::NotConfigured);
        co_return;
    }
    setCanCheckForUpdates(false);

    URLRequest request;
    request.url = *feedURL_;
    request.httpMethod = "GET";
    request.setValue("application/rss+xml, application/xml;q=0.9, */*;q=0.1", "Accept");
    request.maximumAnswerSize = AppcastFeed::maximumSize;
    // The session outlives an updater destroyed while the request is out.
    const std::shared_ptr<URLSessionProtocol> session = session_;
    const QPointer<AppcastUpdater> self(this);
    const URLSessionCompletion completion = co_await session->uploadTask(std::move(request), QByteArray());
    if (!self)
        co_return;

    present(completion);
    setCanCheckForUpdates(true);
}

void AppcastUpdater::present(const URLSessionCompletion &completion)
{
    const int status = completion.response ? completion.response->statusCode : 0;
    if (status < 200 || status >= 300)
        return presenter_->showFailure(UpdateCheckFailure::FeedUnreachable);
    const auto feed = AppcastFeed::parse(completion.data.value_or(QByteArray()));
    if (!feed)
        return presenter_->showFailure(UpdateCheckFailure::FeedUnreadable);
    const auto latest = feed->latestItem(links_);
    if (latest && VersionComparator::compare(latest->version, currentVersion_) > 0)
        return presenter_->showUpdateAvailable(*latest, currentVersion_);
    presenter_->showUpToDate(currentVersion_);
}

} // namespace hourloom
