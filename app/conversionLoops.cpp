#include "app/conversionLoops.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "app/progressModel.h"
#include "engine/p2tEngine.h"
#include "engine/p2tMainModule.h"
#include "engine/p2tOutputModule.h"

std::string doneMessage(uint32_t elapsedMs)
{
    char ms[8];
    std::snprintf(ms, sizeof ms, "%03u", elapsedMs % 1000);
    return "...done(" + std::to_string(elapsedMs / 1000) + "." + ms + "秒)\r\n";
}

void convertTargets(p2tEngine& eng, BatchRun& run, int jobs)
{
    if (jobs > 1 && run.targetCount > 1)
        convertTargetsInParallel(eng, run, jobs);
    else
        convertTargetsOneByOne(eng, run);
}

void convertTargetsOneByOne(p2tEngine& eng, BatchRun& run)
{
    const int32_t count = run.targetCount; // taken once, before the first file
    for (int32_t i = 1; i <= count; ++i) {
        const std::string file = run.targetFiles[static_cast<size_t>(i - 1)];
        p2tOutputMessage(eng, file);
        bool ok = p2tMain(eng, file);
        if (ok) {
            ++run.filesConverted;
            p2tOutputMessage(eng, doneMessage(eng.now() - eng.startTick));
        } else {
            ++run.filesFailed;
            if (eng.progress.cancelButtonPushed()) {
                run.runCancelled = true;
                eng.boxes.showOk("中断ボタンが押されました", MessageBoxes::Icon::Information);
                break;
            }
        }
        eng.progress.setParentValue(i);
        eng.pump.letMessagesThrough();
    }
}

namespace {

struct Task {
    int index;
    std::optional<bool> overwrite; // the answer given before the file was started
};

struct Result {
    bool finished = false;
    bool ok = false;
    bool cancelled = false;
    std::string log;
    uint32_t elapsed = 0;
};

// What one worker's engine sees of the windows: its log lines are kept for
// the file's turn, questions were answered beforehand, and the cancel button
// is the run's.
class Worker : public UnseenProgress, public ProcessingLog, public MessageBoxes, public MessagePump {
public:
    explicit Worker(const std::atomic<bool>& cancel) : cancel_(cancel) {}

    bool cancelButtonPushed() const override { return cancel_.load(); }

    void insert(const std::string& text) override { log += text; }
    void clear() override {}

    void showOk(const std::string&, Icon) override {}
    // A file that did not exist when its turn came was not asked about: it is
    // not replaced.
    bool askYesNo(const std::string&, Icon) override { return overwrite.value_or(false); }

    void letMessagesThrough() override {}

    std::string log;
    std::optional<bool> overwrite;

private:
    const std::atomic<bool>& cancel_;
};

} // namespace

void convertTargetsInParallel(p2tEngine& lead, BatchRun& run, int jobs)
{
    const int count = run.targetCount;
    std::vector<Result> results(static_cast<size_t>(count));
    std::deque<Task> queue;
    std::mutex mutex;
    std::condition_variable workReady, resultReady;
    std::atomic<bool> cancel{false};
    bool stop = false;
    int running = 0; // files started and not finished

    auto work = [&] {
        Worker windows(cancel);
        p2tEngine eng(lead.settings, lead.cidTable, windows, windows, windows, windows);
        for (;;) {
            Task task;
            {
                std::unique_lock lock(mutex);
                workReady.wait(lock, [&] { return stop || !queue.empty(); });
                if (queue.empty())
                    return;
                task = queue.front();
                queue.pop_front();
            }
            windows.log.clear();
            windows.overwrite = task.overwrite;
            Result r;
            r.ok = p2tMain(eng, run.targetFiles[static_cast<size_t>(task.index)]);
            r.elapsed = eng.now() - eng.startTick;
            r.cancelled = !r.ok && cancel.load();
            r.log = windows.log;
            r.finished = true;
            {
                std::lock_guard lock(mutex);
                results[static_cast<size_t>(task.index)] = std::move(r);
                --running;
            }
            resultReady.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < std::min(jobs, count); ++t)
        threads.emplace_back(work);

    std::unordered_map<std::string, int> writing; // text files being written -> how many files write them
    std::vector<std::string> outputs(static_cast<size_t>(count));
    std::vector<char> nameLogged(static_cast<size_t>(count)); // logged before its question
    int dispatched = 0, emitted = 0;
    const int ahead = 4 * jobs; // how far the files started may run ahead of the log
    bool cancelLogged = false, waiting = false;
    // After cancel no file is started, except that when every file started
    // has been logged without any noticing it, the next one is, as one at a
    // time would: it stops after its first page and the run ends there.
    auto mayStart = [&] {
        return dispatched < count && running < jobs && dispatched - emitted < ahead && !cancelLogged
            && (!cancel || dispatched == emitted);
    };
    auto nextFinished = [&] { return emitted < dispatched && results[static_cast<size_t>(emitted)].finished; };
    std::unique_lock lock(mutex);
    for (;;) {
        // Start files in order while engines are free. A file whose text file
        // an earlier file is still writing waits for it: the question about
        // it, and what it finds on disk, must come after that file. A question
        // waits for every earlier file's log, and comes after the file's name,
        // where one file at a time puts it.
        waiting = false;
        while (mayStart()) {
            const int i = dispatched;
            const p2tTextFile textFile = p2tTextFileFor(lead.settings, run.targetFiles[static_cast<size_t>(i)]);
            std::string& out = outputs[static_cast<size_t>(i)];
            out = textFile.path;
            if (writing[out] > 0) {
                waiting = true;
                break;
            }
            Task task{i, std::nullopt};
            if (textFile.asksFirst()) {
                if (emitted < i) {
                    waiting = true;
                    break;
                }
                lock.unlock();
                p2tOutputMessage(lead, run.targetFiles[static_cast<size_t>(i)]);
                nameLogged[static_cast<size_t>(i)] = 1;
                task.overwrite = textFile.askOverwrite(lead.boxes);
                lock.lock();
            }
            ++writing[out];
            ++running;
            ++dispatched;
            queue.push_back(task);
            workReady.notify_one();
        }
        // Write the log of finished files, in order.
        bool logged = false;
        while (nextFinished()) {
            const int i = emitted++;
            Result r = std::move(results[static_cast<size_t>(i)]);
            --writing[outputs[static_cast<size_t>(i)]];
            logged = true;
            lock.unlock();
            if (!nameLogged[static_cast<size_t>(i)])
                p2tOutputMessage(lead, run.targetFiles[static_cast<size_t>(i)]);
            p2tOutputMessage(lead, r.log);
            if (r.ok) {
                ++run.filesConverted;
                p2tOutputMessage(lead, doneMessage(r.elapsed));
            } else {
                ++run.filesFailed;
            }
            if (r.cancelled && !cancelLogged) {
                cancelLogged = true;
                run.runCancelled = true;
            }
            if (!cancelLogged) {
                lead.progress.setParentValue(i + 1);
                lead.pump.letMessagesThrough();
            }
            lock.lock();
        }
        if (emitted == dispatched && !mayStart())
            break;
        // Sleep only when nothing can be logged or started; wake now and then
        // to let messages through (Ctrl-C).
        if (!logged)
            resultReady.wait_for(lock, std::chrono::milliseconds(50),
                                 [&] { return nextFinished() || (mayStart() && !waiting); });
        lock.unlock();
        lead.pump.letMessagesThrough();
        lock.lock();
        if (lead.progress.cancelButtonPushed())
            cancel = true;
    }
    stop = true;
    lock.unlock();
    workReady.notify_all();
    for (std::thread& t : threads)
        t.join();
    // After the log of every file started: the others stopped too, and their
    // lines belong before the run's closing message, as with one at a time.
    if (cancelLogged)
        lead.boxes.showOk("中断ボタンが押されました", MessageBoxes::Icon::Information);
}
