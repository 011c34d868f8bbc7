// How a transfer's reports reach the main thread: coalesced progress, one completion after the
// last progress, and cancellation that wins over a result not yet delivered. Driven directly,
// without a network, so the order of events is chosen by the test.
#include <gtest/gtest.h>

#include <deque>

#include "platform/ManualMainQueue.h"
#include "platform/curl/TransferDelivery.h"

namespace suite {
namespace {

using curl::TransferDelivery;

HttpProgress received(std::uint64_t bytes, std::uint64_t total) {
    HttpProgress progress;
    progress.received = bytes;
    progress.totalToReceive = total;
    return progress;
}

HttpResponse answered(int status) {
    HttpResponse response;
    response.status = status;
    return response;
}

// What a delivery handed to its callbacks, in order.
struct Log {
    std::vector<std::string> events;
    HttpResponse last;
    std::shared_ptr<TransferDelivery> delivery(MainQueue& queue) {
        return std::make_shared<TransferDelivery>(
            queue,
            [this](const HttpProgress& p) {
                events.push_back("progress " + std::to_string(p.received));
            },
            [this](HttpResponse r) {
                events.push_back("done " + std::to_string(r.status));
                last = std::move(r);
            });
    }
};

// Runs tasks newest first: a main queue that keeps no order between tasks posted close together.
class ReversingQueue final : public MainQueue {
  public:
    void post(Task task) override { tasks_.push_front(std::move(task)); }
    void postAfter(double, Task task) override { post(std::move(task)); }
    double now() const override { return 0; }
    void runAll() {
        while (!tasks_.empty()) {
            Task task = std::move(tasks_.front());
            tasks_.pop_front();
            task();
        }
    }

  private:
    std::deque<Task> tasks_;
};

TEST(HttpClientDeliveryTest, ManyReportsBecomeOneWaitingTaskThatCarriesTheNewest) {
    ManualMainQueue queue;
    Log log;
    auto delivery = log.delivery(queue);
    for (std::uint64_t bytes = 1; bytes <= 1000; ++bytes)
        delivery->reportProgress(received(bytes, 1000));
    EXPECT_EQ(queue.pending(), 1u);
    queue.runReady();
    EXPECT_EQ(log.events, (std::vector<std::string>{"progress 1000"}));
    // Unchanged values are not worth a task.
    delivery->reportProgress(received(1000, 1000));
    EXPECT_EQ(queue.pending(), 0u);
}

TEST(HttpClientDeliveryTest, CompletionComesOnceAndAfterTheLastProgressInAnyQueueOrder) {
    ReversingQueue reversing;
    Log log;
    auto delivery = log.delivery(reversing);
    delivery->reportProgress(received(10, 20));
    delivery->complete(answered(200), received(20, 20));
    reversing.runAll();  // the completion task runs before the progress task here
    EXPECT_EQ(log.events, (std::vector<std::string>{"progress 20", "done 200"}));
}

TEST(HttpClientDeliveryTest, CancelBeforeTheCompletionRunsTurnsAnyResultIntoCancelled) {
    ManualMainQueue queue;
    Log log;
    auto delivery = log.delivery(queue);
    delivery->complete(answered(200), std::nullopt);
    delivery->requestCancel();  // the worker had finished; the main thread had not heard yet
    queue.runReady();
    EXPECT_EQ(log.last.error, TransportError::Cancelled);

    // Once delivered, a result stays what it was.
    auto later = log.delivery(queue);
    later->complete(answered(200), std::nullopt);
    queue.runReady();
    later->requestCancel();
    queue.runReady();
    EXPECT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.last.error, TransportError::None);
}

}  // namespace
}  // namespace suite
