#pragma once
// The program's fixed log lines go to standard error through here.
// Debug chatter is printed only when CINVORA_DEBUG is set in the environment.
#include <QString>
#include <functional>

namespace foundation {

class Log {
public:
    static void line(const QString &text);
    static void debug(const QString &text);
    static bool debugEnabled();
    // Tests observe the fixed lines through a sink; it is called in addition to stderr.
    using Sink = std::function<void(const QString &)>;
    static void setSink(Sink sink);
    // The command line keeps standard error for its own messages unless asked to be verbose.
    static void setEchoToStandardError(bool on);
};

} // namespace foundation
