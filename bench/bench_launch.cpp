// Start-up as a user waits for it: from exec of the program to the first
// frame of its window, the tool and the floor program (txfloor, a minimal Qt
// window with the same first page in plain widgets) side by side, in
// interleaved rounds on the same display.
//
//   bench_launch [rounds] [--tool PATH] [--floor PATH] [--probe PATH]
//
// Defaults: 9 rounds; txconfig, txfloor and libpaintprobe.so beside this
// program. Each program runs with libpaintprobe.so preloaded, which reports
// the moment its first window is painted (and the CPU time spent until then)
// and ends it. The clock starts just before fork. Each round runs both
// programs, in alternating order; one unmeasured run of each comes first so
// that both start from a warm file cache. The platform is whatever the
// environment gives (QT_QPA_PLATFORM, DISPLAY): run it under Xvfb for the
// figures of a real X server.

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Sample {
    double wallMs = -1;
    double cpuMs = -1;
    std::string failure; // why no time was taken
};

long long monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

std::string ownDir()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    buf[n] = 0;
    std::string p(buf);
    return p.substr(0, p.rfind('/'));
}

// Runs one program until its first frame; a negative wall time on failure.
Sample runOnce(const std::string &program, const std::string &probe)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const long long t0 = monotonicNs();
    const pid_t pid = fork();
    if (pid < 0)
        return {};
    if (pid == 0) {
        close(fds[0]);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        setenv("TX_PROBE_FD", std::to_string(fds[1]).c_str(), 1);
        setenv("LD_PRELOAD", probe.c_str(), 1);
        execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string line;
    pollfd p{fds[0], POLLIN, 0};
    const long long deadline = t0 + 30000000000LL;
    char buf[256];
    while (line.find('\n') == std::string::npos) {
        const int left = int((deadline - monotonicNs()) / 1000000);
        if (left <= 0 || poll(&p, 1, left) <= 0)
            break;
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, size_t(n));
    }
    close(fds[0]);
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    long long painted = 0, cpu = 0;
    if (std::sscanf(line.c_str(), "painted %lld %lld", &painted, &cpu) != 2) {
        Sample failed;
        if (WIFEXITED(status))
            failed.failure = program + " exited with status " + std::to_string(WEXITSTATUS(status)) +
                             " before its first frame";
        else if (WIFSIGNALED(status))
            failed.failure = program + " ended by signal " + std::to_string(WTERMSIG(status));
        else
            failed.failure = program + " painted nothing in 30 s";
        return failed;
    }
    return {(painted - t0) / 1e6, cpu / 1e6, {}};
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string dir = ownDir();
    std::string tool = dir + "/txconfig", floor = dir + "/txfloor", probe = dir + "/libpaintprobe.so";
    int rounds = 9;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--tool" && i + 1 < argc)
            tool = argv[++i];
        else if (a == "--floor" && i + 1 < argc)
            floor = argv[++i];
        else if (a == "--probe" && i + 1 < argc)
            probe = argv[++i];
        else if (a == "--help" || a == "-h") {
            std::printf("usage: %s [rounds] [--tool PATH] [--floor PATH] [--probe PATH]\n", argv[0]);
            return 0;
        } else if (std::atoi(a.c_str()) > 0)
            rounds = std::atoi(a.c_str());
        else {
            std::fprintf(stderr, "%s: unknown argument %s\n", argv[0], a.c_str());
            return 2;
        }
    }
    for (const std::string *p : {&tool, &floor, &probe}) {
        if (access(p->c_str(), R_OK) != 0) {
            std::fprintf(stderr, "%s: cannot find %s\n", argv[0], p->c_str());
            return 1;
        }
    }
    const char *qpa = std::getenv("QT_QPA_PLATFORM");
    const char *display = std::getenv("DISPLAY");
    std::printf("start-up, exec to first frame: platform %s%s%s, %d rounds\n", qpa && *qpa ? qpa : "default",
                display ? ", DISPLAY=" : "", display ? display : "", rounds);

    // Warm the file cache and the font cache of both.
    runOnce(tool, probe);
    runOnce(floor, probe);

    std::vector<double> toolWall, toolCpu, floorWall, floorCpu;
    int failures = 0;
    for (int r = 0; r < rounds; ++r) {
        Sample t, f;
        if (r % 2 == 0) {
            t = runOnce(tool, probe);
            f = runOnce(floor, probe);
        } else {
            f = runOnce(floor, probe);
            t = runOnce(tool, probe);
        }
        if (t.wallMs < 0 || f.wallMs < 0) {
            // A round that fails is reported and run again, a few times at most.
            std::fprintf(stderr, "round %d: %s\n", r + 1, (t.wallMs < 0 ? t : f).failure.c_str());
            if (++failures > 3)
                return 1;
            --r;
            continue;
        }
        std::printf("round %d: tool %.1f ms (cpu %.1f), floor %.1f ms (cpu %.1f)\n", r + 1, t.wallMs, t.cpuMs,
                    f.wallMs, f.cpuMs);
        toolWall.push_back(t.wallMs);
        toolCpu.push_back(t.cpuMs);
        floorWall.push_back(f.wallMs);
        floorCpu.push_back(f.cpuMs);
    }
    const double tw = median(toolWall), fw = median(floorWall);
    const double tc = median(toolCpu), fc = median(floorCpu);
    // The fastest round of each shows what is left when the machine is quiet.
    std::printf("fastest tool: %.1f ms wall, %.1f ms cpu; floor: %.1f ms wall, %.1f ms cpu\n",
                *std::min_element(toolWall.begin(), toolWall.end()),
                *std::min_element(toolCpu.begin(), toolCpu.end()),
                *std::min_element(floorWall.begin(), floorWall.end()),
                *std::min_element(floorCpu.begin(), floorCpu.end()));
    std::printf("median tool: %.1f ms wall, %.1f ms cpu\n", tw, tc);
    std::printf("median floor: %.1f ms wall, %.1f ms cpu\n", fw, fc);
    std::printf("ratio tool/floor: %.2fx wall, %.2fx cpu\n", tw / fw, tc / fc);
    return 0;
}
