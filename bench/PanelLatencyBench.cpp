// Frame to panels: the real main window on a pseudo-terminal. A writer
// thread sends frames whose three values all change, and an event filter
// notes when each panel paints; the latency of a frame is the time from its
// write to the last of the three paints. Prints the median, 99th percentile
// and worst over the frames (the first few, which bring the link up, left
// out). Usage: qm482_panel_latency_bench [frames] [gap-ms]
#include "device/FrameEncoder.h"
#include "device/PortControl.h"
#include "display/MainDialog.h"
#include "display/ValuePanel.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class PaintClock : public QObject {
public:
    explicit PaintClock(std::array<QObject*, 3> panels)
        : panels_(panels)
    {
        for (auto* p : panels_)
            p->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            for (std::size_t i = 0; i < panels_.size(); ++i)
                if (watched == panels_[i])
                    paints[i].push_back(Clock::now());
        }
        return false;
    }
    std::array<std::vector<Clock::time_point>, 3> paints;

private:
    std::array<QObject*, 3> panels_;
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 200;
    const int gapMs = argc > 2 ? std::atoi(argv[2]) : 100;
    constexpr int kWarmUp = 5;

    char folder[] = "/tmp/qm482-latency-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        return 1;
    ::setenv("QM482_PORTS_DIR", folder, 1);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return 1;
    std::filesystem::create_symlink(::ptsname(master), std::string(folder) + "/COM7");

    QApplication app(argc, argv);
    int result = 0;
    std::vector<Clock::time_point> written;
    {
        MainDialog dialog;
        dialog.showPromotionAtStart = 0;
        dialog.portControl().portNumber = 7;
        dialog.portControl().SetPortEnumerator([](unsigned& n, std::string& t) {
            n = 0;
            t.clear();
            return true;
        });
        PaintClock clock(
            { &dialog.temperaturePanel(), &dialog.humidityPanel(), &dialog.pressurePanel() });
        std::thread writer;
        QTimer::singleShot(500, &dialog, [&] {
            writer = std::thread([&] {
                for (int i = 0; i < frames; ++i) {
                    Measurement m;
                    m.serialNumber = 4660;
                    m.temperature = 20.0 + (i % 50) * 0.1;
                    m.humidity = 40.0 + (i % 50) * 0.1;
                    m.pressure = 1000.0 + (i % 50) * 0.1;
                    const auto frame = FrameEncoder::Encode(m);
                    written.push_back(Clock::now());
                    if (::write(master, frame.data(), frame.size())
                        != static_cast<ssize_t>(frame.size()))
                        break;
                    std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
                }
                QMetaObject::invokeMethod(&dialog, [&dialog] { dialog.reject(); });
            });
        });
        dialog.exec();
        writer.join();

        std::vector<double> latencies;
        for (std::size_t f = kWarmUp; f < written.size(); ++f) {
            const auto from = written[f];
            const auto to = f + 1 < written.size() ? written[f + 1] : Clock::time_point::max();
            Clock::time_point last {};
            bool all = true;
            for (const auto& paints : clock.paints) {
                const auto it = std::find_if(
                    paints.begin(), paints.end(), [&](auto t) { return t >= from && t < to; });
                if (it == paints.end()) {
                    all = false;
                    break;
                }
                last = std::max(last, *it);
            }
            if (all)
                latencies.push_back(std::chrono::duration<double, std::milli>(last - from).count());
        }
        if (latencies.empty()) {
            std::puts("no frame reached the three panels");
            result = 1;
        } else {
            std::printf("frames %zu of %zu: median %.2f ms, p99 %.2f ms, worst %.2f ms\n",
                latencies.size(), written.size() - kWarmUp, percentile(latencies, 0.5),
                percentile(latencies, 0.99), percentile(latencies, 1.0));
        }
    }
    ::close(master);
    std::filesystem::remove_all(folder);
    return result;
}
