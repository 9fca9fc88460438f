// qm482-sim: a QM482 meter on a pseudo-terminal. It links the pty as COMn in
// the port link folder and sends frames at the meter's pace (or faster),
// printing each one; the link is removed again when it ends.
#include "device/FrameEncoder.h"
#include "device/Measurement.h"
#include "device/PortNames.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <random>
#include <sstream>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int)
{
    stopRequested = 1;
}

constexpr double kMeterCharsPerSecond = 300.0 / 9.0; // 7N1 plus start bit: 9 bits a character
constexpr double kMeterFramePeriod = 0.6;

struct Options {
    int port = 1;
    Measurement m;
    bool drift = false;
    int badParityEvery = 0;
    int strayEvery = 0;
    int noiseEvery = 0;
    double sendSeconds = 0; // silence: after this long sending ...
    double silentSeconds = 0; // ... this long quiet
    long frames = -1;
    double rate = kMeterCharsPerSecond;
    unsigned seed = 1;
    bool quiet = false;
    std::string script; // file of frames, "-" for standard input
};

void usage()
{
    std::puts(
        "usage: qm482-sim [options]\n"
        "  --port N            link the pty as COMN (default 1)\n"
        "  --serial N          meter serial number, 0-65535 (default 4660)\n"
        "  --temp T --rh H --pressure P   readings (default 21.5, 45.0, 1013.2)\n"
        "  --drift             let the readings wander like a real room\n"
        "  --error temperature|humidity|pressure|calibration   set an error flag (repeatable)\n"
        "  --bad-parity K      every K-th frame has a parity error\n"
        "  --stray K           a stray byte before every K-th frame\n"
        "  --noise K           every K-th frame replaced by noise\n"
        "  --silence A:B       after every A seconds of frames, B seconds of silence\n"
        "  --frames N          stop after N frames\n"
        "  --rate CPS          characters per second (the meter sends 33.3)\n"
        "  --fast              100 times the meter's pace\n"
        "  --seed N            seed for drift and noise\n"
        "  --script FILE       send the frames of FILE (- for standard input), one a line:\n"
        "      SERIAL T RH P [FLAG,...]  a reading, e.g. 0xABCD -12.3 45.6 1013.2 humidity\n"
        "      raw HEX...                bytes as they are, e.g. raw 0D\n"
        "      silence                   nothing until the next line\n"
        "    each line is sent once; the last one is repeated until the next arrives\n"
        "  --quiet             do not print the frames\n"
        "The link folder is $QM482_PORTS_DIR, else ~/.config/qm482/ports.");
}

bool number(const char* text, double& out)
{
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(out);
}

bool setFlag(const std::string& f, Measurement& m)
{
    if (f == "temperature")
        m.temperatureError = true;
    else if (f == "humidity")
        m.humidityError = true;
    else if (f == "pressure")
        m.pressureError = true;
    else if (f == "calibration")
        m.calibrationError = true;
    else
        return false;
    return true;
}

bool parse(int argc, char** argv, Options& o)
{
    o.m.serialNumber = 4660;
    o.m.temperature = 21.5;
    o.m.humidity = 45.0;
    o.m.pressure = 1013.2;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](double& out) { return i + 1 < argc && number(argv[++i], out); };
        double v = 0;
        if (a == "--help" || a == "-h") {
            usage();
            std::exit(0);
        } else if (a == "--drift") {
            o.drift = true;
        } else if (a == "--fast") {
            o.rate = kMeterCharsPerSecond * 100;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--error" && i + 1 < argc) {
            if (!setFlag(argv[++i], o.m))
                return false;
        } else if (a == "--script" && i + 1 < argc) {
            o.script = argv[++i];
        } else if (a == "--silence" && i + 1 < argc) {
            const std::string s = argv[++i];
            const auto colon = s.find(':');
            if (colon == std::string::npos || !number(s.substr(0, colon).c_str(), o.sendSeconds)
                || !number(s.substr(colon + 1).c_str(), o.silentSeconds) || o.sendSeconds <= 0
                || o.silentSeconds < 0)
                return false;
        } else if (value(v)) {
            if (a == "--port" && v >= 1 && v <= 256)
                o.port = static_cast<int>(v);
            else if (a == "--serial" && v >= 0 && v <= 65535)
                o.m.serialNumber = static_cast<int>(v);
            else if (a == "--temp")
                o.m.temperature = v;
            else if (a == "--rh")
                o.m.humidity = v;
            else if (a == "--pressure")
                o.m.pressure = v;
            else if (a == "--bad-parity" && v >= 0)
                o.badParityEvery = static_cast<int>(v);
            else if (a == "--stray" && v >= 0)
                o.strayEvery = static_cast<int>(v);
            else if (a == "--noise" && v >= 0)
                o.noiseEvery = static_cast<int>(v);
            else if (a == "--frames" && v >= 0)
                o.frames = static_cast<long>(v);
            else if (a == "--rate" && v > 0)
                o.rate = v;
            else if (a == "--seed" && v >= 0)
                o.seed = static_cast<unsigned>(v);
            else
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// Sleeps, ending early on a stop request.
void pause(double seconds)
{
    if (seconds <= 0 || stopRequested)
        return;
    timespec t {};
    t.tv_sec = static_cast<time_t>(seconds);
    t.tv_nsec = static_cast<long>((seconds - static_cast<double>(t.tv_sec)) * 1e9);
    while (!stopRequested && ::nanosleep(&t, &t) != 0 && errno == EINTR) { }
}

double now()
{
    timespec t {};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void print(
    long index, const std::vector<std::uint8_t>& bytes, const char* what, const Measurement& m)
{
    std::printf("frame %ld:", index);
    for (auto b : bytes)
        std::printf(" %02X", b);
    if (std::strcmp(what, "raw") == 0) {
        std::printf("  raw\n");
        std::fflush(stdout);
        return;
    }
    std::printf("  %s serial %d T %.1f RH %.1f P %.1f%s%s%s%s\n", what, m.serialNumber,
        m.temperature, m.humidity, m.pressure, m.temperatureError ? " temp-error" : "",
        m.humidityError ? " rh-error" : "", m.pressureError ? " p-error" : "",
        m.calibrationError ? " cal-error" : "");
    std::fflush(stdout);
}

// One line of a script as the bytes to send; false for a line that is not
// a frame. `m` is what the line says, for printing.
bool scriptFrame(const std::string& line, std::vector<std::uint8_t>& bytes, Measurement& m)
{
    std::istringstream in(line);
    std::string first;
    if (!(in >> first))
        return false;
    bytes.clear();
    m = Measurement {};
    if (first == "silence")
        return true;
    if (first == "raw") {
        std::string hex;
        while (in >> hex) {
            char* end = nullptr;
            const unsigned long b = std::strtoul(hex.c_str(), &end, 16);
            if (*end != '\0' || hex.size() > 2 || b > 0xFF)
                return false;
            bytes.push_back(static_cast<std::uint8_t>(b));
        }
        return !bytes.empty();
    }
    char* end = nullptr;
    const long serial = std::strtol(first.c_str(), &end, 0);
    if (*end != '\0' || serial < 0 || serial > 0xFFFF)
        return false;
    m.serialNumber = static_cast<int>(serial);
    std::string t, h, p, flags;
    if (!(in >> t >> h >> p) || !number(t.c_str(), m.temperature) || !number(h.c_str(), m.humidity)
        || !number(p.c_str(), m.pressure))
        return false;
    if (in >> flags && flags != "-") {
        std::istringstream list(flags);
        std::string f;
        while (std::getline(list, f, ','))
            if (!setFlag(f, m))
                return false;
    }
    const auto frame = FrameEncoder::Encode(m);
    bytes.assign(frame.begin(), frame.end());
    return true;
}

// The lines of a script as they arrive: a file is read at once, a pipe
// whenever its writer has written, so a driver can step the meter.
class Script {
public:
    explicit Script(int fd)
        : fd_(fd)
    {
    }

    // The next whole line; waits up to `seconds` for one.
    bool next(std::string& line, double seconds)
    {
        const double until = now() + seconds;
        for (;;) {
            const auto eol = buffer_.find('\n');
            if (eol != std::string::npos) {
                line = buffer_.substr(0, eol);
                buffer_.erase(0, eol + 1);
                return true;
            }
            if (ended_ || stopRequested)
                return false;
            const double left = std::max(0.0, until - now());
            pollfd p { fd_, POLLIN, 0 };
            if (::poll(&p, 1, static_cast<int>(left * 1000)) <= 0) {
                if (now() >= until)
                    return false;
                continue;
            }
            char chunk[4096];
            const auto n = ::read(fd_, chunk, sizeof chunk);
            if (n > 0)
                buffer_.append(chunk, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                ended_ = true;
        }
    }

private:
    int fd_;
    std::string buffer_;
    bool ended_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        usage();
        return 2;
    }

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("qm482-sim: pseudo-terminal");
        return 1;
    }
    const std::string slavePath = ::ptsname(master);
    // Held open so the pty does not hang up while the program reopens it;
    // raw, so nothing is echoed or translated before the program sets the line.
    const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        std::perror("qm482-sim: open pty");
        return 1;
    }
    termios t {};
    if (::tcgetattr(slave, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    const fs::path folder = PortNames::LinkFolder();
    const fs::path link = folder / ("COM" + std::to_string(o.port));
    std::error_code ec;
    fs::create_directories(folder, ec);
    fs::remove(link, ec);
    fs::create_symlink(slavePath, link, ec);
    if (ec) {
        std::fprintf(stderr, "qm482-sim: cannot link %s: %s\n", link.c_str(), ec.message().c_str());
        return 1;
    }
    std::printf("linked COM%d: %s -> %s\n", o.port, link.c_str(), slavePath.c_str());
    std::fflush(stdout);

    struct sigaction sa { };
    sa.sa_handler = onSignal;
    ::sigemptyset(&sa.sa_mask);
    for (int s : { SIGINT, SIGTERM, SIGHUP })
        ::sigaction(s, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    std::mt19937 random(o.seed);
    std::normal_distribution<double> step(0.0, 1.0);
    const Measurement base = o.m;
    const double charTime = 1.0 / o.rate;
    const double gap = std::max(0.0, kMeterFramePeriod - 19.0 / kMeterCharsPerSecond)
        * (kMeterCharsPerSecond / o.rate);
    double burstStart = now();

    int scriptFd = -1;
    if (o.script == "-")
        scriptFd = STDIN_FILENO;
    else if (!o.script.empty() && (scriptFd = ::open(o.script.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
        std::perror(("qm482-sim: " + o.script).c_str());
        return 1;
    }
    Script script(scriptFd);
    std::vector<std::uint8_t> scripted;
    Measurement scriptedReading;
    bool scriptStarted = false;
    bool scriptBroken = false;

    for (long index = 1; !stopRequested && (o.frames < 0 || index <= o.frames); ++index) {
        if (scriptFd >= 0) {
            // Nothing to repeat yet: wait for the first frame.
            std::string line;
            while (script.next(line, scripted.empty() ? 0.05 : 0.0)) {
                if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#')
                    continue;
                if (!scriptFrame(line, scripted, scriptedReading)) {
                    std::fprintf(stderr, "qm482-sim: not a frame: %s\n", line.c_str());
                    scriptBroken = true;
                }
                scriptStarted = true;
                break;
            }
            if (stopRequested || scriptBroken)
                break;
            // Before the first line, and while told to be silent: nothing.
            if (scripted.empty()) {
                if (scriptStarted)
                    pause(0.01);
                --index;
                continue;
            }
        }
        if (o.sendSeconds > 0 && now() - burstStart >= o.sendSeconds) {
            if (!o.quiet) {
                std::printf("silent for %.1f s\n", o.silentSeconds);
                std::fflush(stdout);
            }
            pause(o.silentSeconds);
            burstStart = now();
        }
        Measurement m = o.m;
        if (o.drift) {
            auto wander = [&](double& v, double centre, double sigma, double span) {
                v = std::clamp(v + sigma * step(random), centre - span, centre + span);
            };
            wander(o.m.temperature, base.temperature, 0.05, 3.0);
            wander(o.m.humidity, base.humidity, 0.1, 5.0);
            wander(o.m.pressure, base.pressure, 0.05, 2.0);
            m = o.m;
            m.temperature = std::round(m.temperature * 10) / 10;
            m.humidity = std::round(m.humidity * 10) / 10;
            m.pressure = std::round(m.pressure * 10) / 10;
        }
        const auto frame = FrameEncoder::Encode(m);
        std::vector<std::uint8_t> bytes(frame.begin(), frame.end());
        if (scriptFd >= 0) {
            bytes = scripted;
            m = scriptedReading;
        }
        const char* what = scriptFd >= 0 && bytes.size() != frame.size() ? "raw" : "good";
        if (o.noiseEvery > 0 && index % o.noiseEvery == 0) {
            std::uniform_int_distribution<int> any(0, 0x7F);
            for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
                bytes[i] = static_cast<std::uint8_t>(any(random));
            what = "noise";
        } else if (o.badParityEvery > 0 && index % o.badParityEvery == 0 && bytes.size() > 7) {
            bytes[7] ^= 0x40;
            what = "bad-parity";
        }
        if (o.strayEvery > 0 && index % o.strayEvery == 0) {
            bytes.insert(bytes.begin(), 0x55);
            what = "stray-byte";
        }
        if (!o.quiet)
            print(index, bytes, what, m);
        for (auto b : bytes) {
            if (stopRequested)
                break;
            // Nobody reading and the pty full: the byte is lost, as on a real line.
            [[maybe_unused]] const auto n = ::write(master, &b, 1);
            pause(charTime);
        }
        pause(gap);
    }

    // Remove only our own link; another simulator may have taken the name since.
    if (fs::read_symlink(link, ec) == fs::path(slavePath))
        fs::remove(link, ec);
    ::close(slave);
    ::close(master);
    if (scriptFd > STDIN_FILENO)
        ::close(scriptFd);
    return scriptBroken ? 2 : 0;
}
