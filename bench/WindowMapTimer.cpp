// Starts a program and prints how many milliseconds after its start the X server mapped its
// first top-level window, then ends the program. Used by window-start.sh on an X server of its
// own, where no other client maps windows. Exit status 1 when no window was mapped within 10 s
// or the program ended first, 2 on a usage or connection error.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace
{

constexpr double GiveUpAfterMs = 10000;

double NowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

// Ends the program (it is asked first, then killed) unless it has ended already.
void End(pid_t program, bool ended)
{
    if (ended)
        return;
    kill(program, SIGTERM);
    for (int tries = 0; tries < 200; ++tries) {
        if (waitpid(program, nullptr, WNOHANG) == program)
            return;
        const timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s program [argument...]\n", argv[0]);
        return 2;
    }
    // A server that has only just said it is ready may still turn a first connection away.
    std::unique_ptr<xcb_connection_t, Disconnect> connection(xcb_connect(nullptr, nullptr));
    for (int tries = 0; tries < 20 && xcb_connection_has_error(connection.get()); ++tries) {
        const timespec pause{0, 100 * 1000 * 1000};
        nanosleep(&pause, nullptr);
        connection.reset(xcb_connect(nullptr, nullptr));
    }
    if (xcb_connection_has_error(connection.get())) {
        std::fprintf(stderr, "cannot connect to the X server\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    // The check waits for the server's answer: it watches the root before the program starts.
    if (xcb_generic_error_t* error = xcb_request_check(
            connection.get(), xcb_change_window_attributes_checked(connection.get(), root,
                                                                   XCB_CW_EVENT_MASK, &mask))) {
        std::free(error);
        std::fprintf(stderr, "cannot watch the root window\n");
        return 2;
    }

    pid_t program = 0;
    const double start = NowMs();
    if (posix_spawnp(&program, argv[1], nullptr, nullptr, argv + 1, environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[1]);
        return 2;
    }
    double mapped = -1;
    bool ended = false;
    while (mapped < 0 && !ended && NowMs() - start < GiveUpAfterMs) {
        pollfd server{xcb_get_file_descriptor(connection.get()), POLLIN, 0};
        poll(&server, 1, 50);
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection.get())) {
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && map->event == root &&
                !map->override_redirect && mapped < 0)
                mapped = NowMs() - start;
            std::free(event);
        }
        if (xcb_connection_has_error(connection.get()))
            break;
        ended = mapped < 0 && waitpid(program, nullptr, WNOHANG) == program;
    }
    End(program, ended);
    if (mapped < 0) {
        std::fprintf(stderr, "%s mapped no window\n", argv[1]);
        return 1;
    }
    std::printf("%.2f\n", mapped);
    return 0;
}
