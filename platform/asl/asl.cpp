#include <asl/asl.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <syslog.h>
#include <unistd.h>

struct __aslclient {
    const char *ident;  // interned: stays valid for the life of the process
    std::string facility;
    uint32_t options;
};

namespace {

// syslog keeps the ident pointer given to openlog, so every ident ever used stays alive
// until the process ends. The set is never destroyed, so a message logged from another
// object's destructor at exit still finds it.
struct IdentTable {
    std::mutex mutex;
    std::set<std::string> idents;
};

IdentTable &Idents() {
    static IdentTable *table = new IdentTable;
    return *table;
}

// Answers the lasting copy of an ident; the table's lock must be held.
const char *InternLocked(IdentTable &table, const char *ident) {
    return table.idents.insert(ident).first->c_str();
}

const char *ProgramName() {
    const char *name = program_invocation_short_name;
    return (name != nullptr && *name != '\0') ? name : "lumora";
}

const char *const kLevelNames[] = {"Emergency", "Alert", "Critical", "Error",
                                   "Warning",   "Notice", "Info",    "Debug"};
const int kSyslogPriorities[] = {LOG_EMERG,   LOG_ALERT,  LOG_CRIT, LOG_ERR,
                                 LOG_WARNING, LOG_NOTICE, LOG_INFO, LOG_DEBUG};

void WriteAll(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // standard error is closed or full: the copy is dropped
        }
        done += size_t(written);
    }
}

bool Format(std::string &out, const char *format, va_list arguments) {
    char small[512];
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0) return false;
    if (size_t(length) < sizeof small) {
        out.assign(small, size_t(length));
        return true;
    }
    out.resize(size_t(length) + 1);
    std::vsnprintf(out.data(), out.size(), format, arguments);
    out.resize(size_t(length));
    return true;
}

}  // namespace

extern "C" aslclient asl_open(const char *ident, const char *facility, uint32_t opts) {
    auto *client = new (std::nothrow) __aslclient;
    if (client == nullptr) return nullptr;
    {
        IdentTable &table = Idents();
        std::lock_guard<std::mutex> lock(table.mutex);
        client->ident = InternLocked(table, ident != nullptr ? ident : ProgramName());
    }
    client->facility = facility != nullptr ? facility : "user";
    client->options = opts;
    return client;
}

extern "C" void asl_close(aslclient client) { delete client; }

extern "C" int asl_log(aslclient client, aslmsg, int level, const char *format, ...) {
    if (format == nullptr) return -1;
    if (level < ASL_LEVEL_EMERG) level = ASL_LEVEL_EMERG;
    if (level > ASL_LEVEL_DEBUG) level = ASL_LEVEL_DEBUG;

    std::string message;
    va_list arguments;
    va_start(arguments, format);
    const bool formatted = Format(message, format, arguments);
    va_end(arguments);
    if (!formatted) return -1;
    while (!message.empty() && message.back() == '\n') message.pop_back();

    const uint32_t options = client != nullptr ? client->options : 0;
    IdentTable &table = Idents();
    {
        // One lock around openlog and syslog, so concurrent clients keep their own idents.
        std::lock_guard<std::mutex> lock(table.mutex);
        const char *ident = client != nullptr ? client->ident : InternLocked(table, ProgramName());
        ::openlog(ident, LOG_PID, LOG_USER);
        ::syslog(kSyslogPriorities[level], "%s", message.c_str());
        if (options & ASL_OPT_STDERR) {
            std::string line = ident;
            line += '[' + std::to_string(::getpid()) + "] <" + kLevelNames[level] + ">: ";
            line += message;
            line += '\n';
            WriteAll(STDERR_FILENO, line);
        }
    }
    return 0;
}
