// The engine keeps one project per process in single instances, so calls from
// several threads of one process (Node's worker threads, say) take turns: a
// call waits until the one before it has answered, and sees the project as
// that call left it.
#pragma once

#include <mutex>

class EngineTurn {
public:
    EngineTurn();
    ~EngineTurn();
    EngineTurn(const EngineTurn&) = delete;
    EngineTurn& operator=(const EngineTurn&) = delete;

private:
    // Work on the large-stack thread runs for a caller that holds the turn
    // and waits for it: taking the turn there again would wait forever.
    bool taken_;
};
